// SPDX-License-Identifier: MIT
#pragma once
// The access conditions of a Mifare Classic sector as the card enforces them: three bits C1 C2
// C3 per block group, stored with inverted copies in trailer bytes 6 to 8, and the published
// table of what key A and key B may do under each combination.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace norvexsim::classic {

// Rights of one key on a data block.
enum DataRight : uint8_t { kRead = 0x01, kWrite = 0x02, kIncrement = 0x04, kDecrement = 0x08 };
// Rights of one key on the trailer. Key A is never readable.
enum TrailerRight : uint8_t {
  kWriteKeyA = 0x02,
  kReadAccess = 0x04,
  kWriteAccess = 0x08,
  kReadKeyB = 0x10,
  kWriteKeyB = 0x20,
};
enum class KeySlot { A, B };

class AccessBits {
 public:
  // Reads trailer bytes 6, 7 and 8; std::nullopt when an inverted copy disagrees with its bit,
  // which a card treats as a blocked sector.
  static std::optional<AccessBits> parse(std::span<const uint8_t, 3> bytes);
  static std::array<uint8_t, 3> encode(const std::array<uint8_t, 4>& conditions);

  // C1 C2 C3 of a group (0-2 data, 3 trailer) as the number C1*4 + C2*2 + C3.
  uint8_t condition(unsigned group) const { return conditions_[group]; }
  uint8_t dataRights(unsigned group, KeySlot key) const;
  uint8_t trailerRights(KeySlot key) const;
  // Where key B may be read it is plain data: it cannot serve for authentication.
  bool keyBReadable() const { return trailerRights(KeySlot::A) & kReadKeyB; }

 private:
  std::array<uint8_t, 4> conditions_{};
};

}  // namespace norvexsim::classic
