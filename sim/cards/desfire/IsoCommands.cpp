// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/IsoCommands.h"

#include <algorithm>

#include "sim/cards/desfire/FileAccess.h"
#include "sim/cards/iso7816/Apdu.h"

namespace norvexsim::desfire {
namespace {

namespace sw = iso7816::sw;
using Bytes = std::vector<uint8_t>;
using iso7816::withStatus;

constexpr uint8_t kSelect = 0xA4, kReadBinary = 0xB0, kUpdateBinary = 0xD6, kReadRecord = 0xB2,
                  kAppendRecord = 0xE2;
constexpr uint8_t kByName = 0x04, kByFid = 0x00, kEfUnderDf = 0x02;
constexpr uint8_t kWithFci = 0x00, kNoData = 0x0C;
constexpr uint16_t kMasterFile = 0x3F00;
constexpr uint16_t kIncompatibleFile = 0x6981, kRecordNotFound = 0x6A83;
constexpr size_t kMaxShortLe = 256;
constexpr uint8_t kShortFidFlag = 0x80, kRecordP1 = 0x04, kRecordsFromP1 = 0x05;

bool isDataFile(const File& file) {
  return file.type == FileType::kStandard || file.type == FileType::kBackup;
}
bool isRecordFile(const File& file) {
  return file.type == FileType::kLinearRecord || file.type == FileType::kCyclicRecord;
}

// ISO commands carry no secure messaging: a right must be free, or held by the session's key
// on a file that travels plain.
bool isoGranted(const File& file, unsigned rights, const CardContext& card) {
  const Grant grant = grantAccess(file, rights, card);
  return grant.granted() && grant.setting == comm::kPlain;
}

std::optional<uint8_t> fileWithFid(Application& application, uint16_t fid) {
  for (const auto& [number, file] : application.files) {
    if (file.isoFid == fid) return number;
  }
  return std::nullopt;
}

Bytes selectByName(CardContext& card, const Bytes& name) {
  if (std::equal(name.begin(), name.end(), kPiccDfName.begin(), kPiccDfName.end())) {
    card.select(kPiccAid);
    return withStatus({}, sw::kOk);
  }
  for (const auto& [aid, application] : card.picc.applications) {
    if (application.dfName.empty() || application.dfName != name) continue;
    card.select(aid);
    return withStatus({}, sw::kOk);
  }
  return withStatus({}, sw::kFileNotFound);
}

// P1 00: a file of the selected application, an application's DF, or the PICC level (3F00);
// P1 02: a file of the selected application only.
Bytes selectByFid(CardContext& card, uint8_t p1, const Bytes& data) {
  if (data.size() != 2) return withStatus({}, sw::kWrongLength);
  const auto fid = static_cast<uint16_t>(data[0] << 8 | data[1]);
  if (Application* application = card.application()) {
    if (const auto number = fileWithFid(*application, fid)) {
      card.isoFile = *number;
      return withStatus({}, sw::kOk);
    }
  }
  if (p1 == kEfUnderDf) return withStatus({}, sw::kFileNotFound);
  if (fid == kMasterFile) {
    card.select(kPiccAid);
    return withStatus({}, sw::kOk);
  }
  for (const auto& [aid, application] : card.picc.applications) {
    if (application.isoFid != fid) continue;
    card.select(aid);
    return withStatus({}, sw::kOk);
  }
  return withStatus({}, sw::kFileNotFound);
}

Bytes select(CardContext& card, const iso7816::Command& command) {
  if (command.p2 != kWithFci && command.p2 != kNoData) return withStatus({}, sw::kWrongP1P2);
  if (command.p1 == kByName) {
    if (command.data.empty()) return withStatus({}, sw::kWrongLength);
    return selectByName(card, command.data);
  }
  if (command.p1 == kByFid || command.p1 == kEfUnderDf) {
    return selectByFid(card, command.p1, command.data);
  }
  return withStatus({}, sw::kWrongP1P2);
}

// The file a READ or UPDATE names: a short file identifier (the file number) in bits 4-0 of
// P1 or of P2 (bits 7-3 there; 0 = the current file), or the current file; a file named by SFI
// becomes the current one. The status word when there is none.
struct Target {
  File* file = nullptr;
  uint16_t status = sw::kOk;
};
Target targetOf(CardContext& card, std::optional<uint8_t> shortId) {
  Application* application = card.application();
  if (!application) return {nullptr, sw::kFileNotFound};
  if (shortId && *shortId != 0) {
    auto it = application->files.find(*shortId);
    if (it == application->files.end() || !it->second.isoFid) return {nullptr, sw::kFileNotFound};
    card.isoFile = *shortId;
    return {&it->second, sw::kOk};
  }
  auto it = card.isoFile ? application->files.find(*card.isoFile) : application->files.end();
  if (it == application->files.end()) return {nullptr, sw::kNoCurrentEf};
  return {&it->second, sw::kOk};
}

std::optional<uint8_t> binaryShortId(const iso7816::Command& command) {
  if (!(command.p1 & kShortFidFlag)) return std::nullopt;
  return static_cast<uint8_t>(command.p1 & 0x1F);
}
size_t binaryOffset(const iso7816::Command& command) {
  if (command.p1 & kShortFidFlag) return command.p2;
  return static_cast<size_t>(command.p1 << 8 | command.p2);
}

Bytes readBinary(CardContext& card, const iso7816::Command& command) {
  const Target target = targetOf(card, binaryShortId(command));
  if (!target.file) return withStatus({}, target.status);
  const File& file = *target.file;
  if (!isDataFile(file)) return withStatus({}, kIncompatibleFile);
  if (!isoGranted(file, right::kRead | right::kReadWrite, card)) {
    return withStatus({}, sw::kSecurityNotSatisfied);
  }
  if (!command.ne) return withStatus({}, sw::kWrongLength);
  const auto& data = file.committed.data;
  const size_t offset = binaryOffset(command);
  if (offset >= data.size()) return withStatus({}, sw::kWrongOffset);
  const size_t available = data.size() - offset;
  const size_t count = std::min(*command.ne, available);
  Bytes out(data.begin() + static_cast<std::ptrdiff_t>(offset),
            data.begin() + static_cast<std::ptrdiff_t>(offset + count));
  const bool endReached = !command.neMaximum && *command.ne > available;
  return withStatus(std::move(out), endReached ? sw::kEndOfFileReached : sw::kOk);
}

// A backup file takes the data at CommitTransaction, as with WriteData.
Bytes updateBinary(CardContext& card, const iso7816::Command& command) {
  const Target target = targetOf(card, binaryShortId(command));
  if (!target.file) return withStatus({}, target.status);
  File& file = *target.file;
  if (!isDataFile(file)) return withStatus({}, kIncompatibleFile);
  if (!isoGranted(file, right::kWrite | right::kReadWrite, card)) {
    return withStatus({}, sw::kSecurityNotSatisfied);
  }
  if (command.data.empty()) return withStatus({}, sw::kWrongLength);
  const size_t offset = binaryOffset(command);
  auto& content = file.type == FileType::kBackup ? file.change().content.data : file.committed.data;
  if (offset >= content.size()) return withStatus({}, sw::kWrongOffset);
  if (command.data.size() > content.size() - offset) return withStatus({}, sw::kNotEnoughSpace);
  std::copy(command.data.begin(), command.data.end(),
            content.begin() + static_cast<std::ptrdiff_t>(offset));
  return withStatus({}, sw::kOk);
}

// P1 the record number (1 the newest), P2 the short identifier (bits 7-3) and 100 (that record)
// or 101 (that record down to the oldest).
Bytes readRecord(CardContext& card, const iso7816::Command& command) {
  const uint8_t mode = command.p2 & 0x07;
  if (command.p1 == 0 || (mode != kRecordP1 && mode != kRecordsFromP1)) {
    return withStatus({}, sw::kWrongP1P2);
  }
  const Target target = targetOf(card, static_cast<uint8_t>(command.p2 >> 3));
  if (!target.file) return withStatus({}, target.status);
  const File& file = *target.file;
  if (!isRecordFile(file)) return withStatus({}, kIncompatibleFile);
  if (!isoGranted(file, right::kRead | right::kReadWrite, card)) {
    return withStatus({}, sw::kSecurityNotSatisfied);
  }
  if (!command.ne) return withStatus({}, sw::kWrongLength);
  const auto& records = file.committed.records;
  if (command.p1 > records.size()) return withStatus({}, kRecordNotFound);
  const size_t newest = records.size() - command.p1;  // deque index, oldest first
  const size_t count = mode == kRecordP1 ? 1 : newest + 1;
  Bytes out;
  for (size_t i = 0; i < count; ++i) {
    const auto& record = records[newest - i];
    out.insert(out.end(), record.begin(), record.end());
  }
  if (out.size() > *command.ne) return withStatus({}, sw::kWrongLength);
  return withStatus(std::move(out), sw::kOk);
}

// P1 00, P2 the short identifier (bits 7-3) and 000. The record is committed at once; a file
// with a native transaction open refuses it.
Bytes appendRecord(CardContext& card, const iso7816::Command& command) {
  if (command.p1 != 0 || (command.p2 & 0x07) != 0) return withStatus({}, sw::kWrongP1P2);
  const Target target = targetOf(card, static_cast<uint8_t>(command.p2 >> 3));
  if (!target.file) return withStatus({}, target.status);
  File& file = *target.file;
  if (!isRecordFile(file)) return withStatus({}, kIncompatibleFile);
  if (!isoGranted(file, right::kWrite | right::kReadWrite, card)) {
    return withStatus({}, sw::kSecurityNotSatisfied);
  }
  if (command.data.empty() || command.data.size() > file.recordSize) {
    return withStatus({}, sw::kWrongLength);
  }
  if (file.pending) return withStatus({}, sw::kConditionsNotSatisfied);
  auto& records = file.committed.records;
  const bool cyclic = file.type == FileType::kCyclicRecord;
  const size_t room = cyclic ? file.maxRecords - 1 : file.maxRecords;
  if (records.size() >= room) {
    if (!cyclic) return withStatus({}, sw::kNotEnoughSpace);
    records.pop_front();
  }
  Bytes record = command.data;
  record.resize(file.recordSize, 0);
  records.push_back(std::move(record));
  return withStatus({}, sw::kOk);
}

}  // namespace

Bytes isoCommand(CardContext& card, std::span<const uint8_t> apdu) {
  const auto command = iso7816::parseCommand(apdu);
  if (!command) return withStatus({}, sw::kWrongLength);
  if (command->cla != kIsoClass) return withStatus({}, sw::kClaNotSupported);
  // Short APDUs only: at most 255 bytes of data in, 256 out.
  if (command->ne.value_or(0) > kMaxShortLe || command->data.size() >= kMaxShortLe) {
    return withStatus({}, sw::kWrongLength);
  }
  switch (command->ins) {
    case kSelect:
      return select(card, *command);
    case kReadBinary:
      return readBinary(card, *command);
    case kUpdateBinary:
      return updateBinary(card, *command);
    case kReadRecord:
      return readRecord(card, *command);
    case kAppendRecord:
      return appendRecord(card, *command);
  }
  return withStatus({}, sw::kInsNotSupported);
}

}  // namespace norvexsim::desfire
