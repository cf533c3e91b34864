// SPDX-License-Identifier: MIT
#pragma once
// A DESFire file: its type, communication setting and access rights, the content that counts
// (committed) and, for backup, value and record files, the changes of an open transaction.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace norvexsim::desfire {

enum class FileType : uint8_t {
  kStandard = 0,
  kBackup = 1,
  kValue = 2,
  kLinearRecord = 3,
  kCyclicRecord = 4,
};

// Communication settings: what secures the file data on the air.
namespace comm {
constexpr uint8_t kPlain = 0;
constexpr uint8_t kMaced = 1;
constexpr uint8_t kEnciphered = 3;
constexpr bool valid(uint8_t setting) {
  return setting == kPlain || setting == kMaced || setting == kEnciphered;
}
}  // namespace comm

// Access rights: a key number 0-13, free access or never.
constexpr uint8_t kFreeAccess = 0x0E;
constexpr uint8_t kNeverAccess = 0x0F;

struct AccessRights {
  uint8_t read = kNeverAccess, write = kNeverAccess, readWrite = kNeverAccess,
          change = kNeverAccess;
  // The two bytes as sent: ((readWrite << 4) | change), ((read << 4) | write).
  static AccessRights fromBytes(uint8_t first, uint8_t second) {
    return {static_cast<uint8_t>(second >> 4), static_cast<uint8_t>(second & 0x0F),
            static_cast<uint8_t>(first >> 4), static_cast<uint8_t>(first & 0x0F)};
  }
  std::array<uint8_t, 2> bytes() const {
    return {static_cast<uint8_t>(readWrite << 4 | change), static_cast<uint8_t>(read << 4 | write)};
  }
};

// What a transaction changes.
struct FileContent {
  std::vector<uint8_t> data;                 // data files
  int32_t value = 0;                         // value files
  int32_t limitedCredit = 0;                 // what LimitedCredit may still give back
  std::deque<std::vector<uint8_t>> records;  // record files, oldest first
};

// Bookkeeping of the open transaction on one file.
struct PendingChange {
  FileContent content;
  int64_t debited = 0;
  bool credited = false;
  bool limitedCredited = false;
  bool recordOpen = false;  // WriteRecord has started a new record in this transaction
};

struct File {
  FileType type = FileType::kStandard;
  std::optional<uint16_t> isoFid;
  uint8_t comm = comm::kPlain;
  AccessRights access;
  int32_t lower = 0, upper = 0;  // value files
  bool limitedCreditEnabled = false;
  uint32_t recordSize = 0, maxRecords = 0;  // record files
  FileContent committed;
  std::optional<PendingChange> pending;

  bool transactional() const { return type != FileType::kStandard; }
  // The content a change works on: the open transaction's, started on first use.
  PendingChange& change() {
    if (!pending) pending = PendingChange{committed};
    return *pending;
  }
};

}  // namespace norvexsim::desfire
