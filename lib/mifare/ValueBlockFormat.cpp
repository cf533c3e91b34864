// SPDX-License-Identifier: MIT
#include "mifare/ValueBlockFormat.h"

#include "status/StatusCodes.h"

namespace {

uint32_t WordAt(const ValueBlock& block, unsigned offset) {
  uint32_t word = 0;
  for (unsigned i = 0; i < 4; ++i) word |= static_cast<uint32_t>(block[offset + i]) << (8 * i);
  return word;
}

void PutWord(ValueBlock& block, unsigned offset, uint32_t word) {
  for (unsigned i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(word >> (8 * i));
}

}  // namespace

ValueBlock BuildValueBlock(uint32_t value, uint8_t address) {
  ValueBlock block{};
  PutWord(block, 0, value);
  PutWord(block, 4, ~value);
  PutWord(block, 8, value);
  const auto inverted = static_cast<uint8_t>(~address);
  block[12] = address;
  block[13] = inverted;
  block[14] = address;
  block[15] = inverted;
  return block;
}

long ParseValueBlock(const ValueBlock& block, uint8_t expectedAddress, uint32_t* value) {
  const uint32_t first = WordAt(block, 0);
  if (first != WordAt(block, 8) || first != ~WordAt(block, 4)) return vb_value_diff;
  const uint8_t address = block[12];
  const auto inverted = static_cast<uint8_t>(~address);
  if (address != block[14] || block[13] != inverted || block[15] != inverted) return vb_addr_diff;
  if (address != expectedAddress) return vb_invalid_addr;
  *value = first;
  return 0;
}

std::array<uint8_t, 4> ValueOperand(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}
