// SPDX-License-Identifier: MIT
#include "sim/cards/CodedKey.h"

namespace norvexsim {
namespace {

std::optional<uint8_t> nibbleOf(uint8_t coded) {
  uint8_t nibble = coded & 0x0F;
  if ((coded >> 4) != (~nibble & 0x0F)) return std::nullopt;
  return nibble;
}

uint8_t codeNibble(uint8_t nibble) {
  return static_cast<uint8_t>((~nibble & 0x0F) << 4 | nibble);
}

}  // namespace

std::optional<MifareKey> decodeKey(std::span<const uint8_t, 12> coded) {
  MifareKey key{};
  for (size_t i = 0; i < key.size(); ++i) {
    auto high = nibbleOf(coded[2 * i]);
    auto low = nibbleOf(coded[2 * i + 1]);
    if (!high || !low) return std::nullopt;
    key[i] = static_cast<uint8_t>(*high << 4 | *low);
  }
  return key;
}

CodedKey encodeKey(const MifareKey& key) {
  CodedKey coded{};
  for (size_t i = 0; i < key.size(); ++i) {
    coded[2 * i] = codeNibble(key[i] >> 4);
    coded[2 * i + 1] = codeNibble(key[i] & 0x0F);
  }
  return coded;
}

}  // namespace norvexsim
