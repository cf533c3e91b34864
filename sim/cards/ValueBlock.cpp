// SPDX-License-Identifier: MIT
#include "sim/cards/ValueBlock.h"

namespace norvexsim::classic {
namespace {

uint32_t wordAt(std::span<const uint8_t, 16> block, size_t offset) {
  uint32_t word = 0;
  for (size_t i = 0; i < 4; ++i) word |= static_cast<uint32_t>(block[offset + i]) << (8 * i);
  return word;
}

void putWord(std::span<uint8_t, 16> block, size_t offset, uint32_t word) {
  for (size_t i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(word >> (8 * i));
}

}  // namespace

std::optional<uint32_t> valueOf(std::span<const uint8_t, 16> block) {
  uint32_t value = wordAt(block, 0);
  if (wordAt(block, 4) != ~value || wordAt(block, 8) != value) return std::nullopt;
  uint8_t address = block[12];
  uint8_t inverted = static_cast<uint8_t>(~address);
  if (block[13] != inverted || block[14] != address || block[15] != inverted) return std::nullopt;
  return value;
}

void storeValue(std::span<uint8_t, 16> block, uint32_t value) {
  putWord(block, 0, value);
  putWord(block, 4, ~value);
  putWord(block, 8, value);
}

}  // namespace norvexsim::classic
