// SPDX-License-Identifier: MIT
#include "sim/cards/MifareClassicAccess.h"

namespace norvexsim::classic {
namespace {

struct Rights {
  uint8_t keyA;
  uint8_t keyB;
};

// Data blocks, by C1 C2 C3.
constexpr std::array<Rights, 8> kDataTable{{
    {0x0F, 0x0F},  // 000 everything with either key (transport configuration)
    {0x09, 0x09},  // 001 read, decrement/transfer/restore
    {0x01, 0x01},  // 010 read only
    {0x00, 0x03},  // 011 key B reads and writes
    {0x01, 0x03},  // 100 both read, key B writes
    {0x00, 0x01},  // 101 key B reads
    {0x09, 0x0F},  // 110 value block: A reads and decrements, B everything
    {0x00, 0x00},  // 111 no access
}};

// Sector trailer, by C1 C2 C3.
constexpr std::array<Rights, 8> kTrailerTable{{
    {0x36, 0x00},  // 000
    {0x3E, 0x00},  // 001 transport configuration
    {0x14, 0x00},  // 010
    {0x04, 0x2E},  // 011
    {0x04, 0x26},  // 100
    {0x04, 0x0C},  // 101
    {0x04, 0x04},  // 110
    {0x04, 0x04},  // 111
}};

uint8_t bit(uint8_t byte, unsigned index) {
  return (byte >> index) & 1;
}

uint8_t pick(const Rights& rights, KeySlot key) {
  return key == KeySlot::A ? rights.keyA : rights.keyB;
}

}  // namespace

std::optional<AccessBits> AccessBits::parse(std::span<const uint8_t, 3> bytes) {
  uint8_t b6 = bytes[0], b7 = bytes[1], b8 = bytes[2];
  // Byte 6 holds ~C2 | ~C1, byte 7 C1 | ~C3, byte 8 C3 | C2 (high nibble | low nibble).
  bool consistent = (b6 & 0x0F) == (~b7 >> 4 & 0x0F) && (b6 >> 4) == (~b8 & 0x0F) &&
                    (b7 & 0x0F) == (~b8 >> 4 & 0x0F);
  if (!consistent) return std::nullopt;
  AccessBits bits;
  for (unsigned group = 0; group < 4; ++group) {
    uint8_t c1 = bit(b7, 4 + group), c2 = bit(b8, group), c3 = bit(b8, 4 + group);
    bits.conditions_[group] = static_cast<uint8_t>(c1 << 2 | c2 << 1 | c3);
  }
  return bits;
}

std::array<uint8_t, 3> AccessBits::encode(const std::array<uint8_t, 4>& conditions) {
  uint8_t c1 = 0, c2 = 0, c3 = 0;
  for (unsigned group = 0; group < 4; ++group) {
    c1 |= static_cast<uint8_t>((conditions[group] >> 2 & 1) << group);
    c2 |= static_cast<uint8_t>((conditions[group] >> 1 & 1) << group);
    c3 |= static_cast<uint8_t>((conditions[group] & 1) << group);
  }
  auto inv = [](uint8_t nibble) { return static_cast<uint8_t>(~nibble & 0x0F); };
  return {static_cast<uint8_t>(inv(c2) << 4 | inv(c1)), static_cast<uint8_t>(c1 << 4 | inv(c3)),
          static_cast<uint8_t>(c3 << 4 | c2)};
}

uint8_t AccessBits::dataRights(unsigned group, KeySlot key) const {
  return pick(kDataTable[conditions_[group]], key);
}

uint8_t AccessBits::trailerRights(KeySlot key) const {
  return pick(kTrailerTable[conditions_[3]], key);
}

}  // namespace norvexsim::classic
