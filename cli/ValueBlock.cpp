// SPDX-License-Identifier: MIT
#include "cli/ValueBlock.h"

#include "norvexapi.h"

namespace norvex::cli {

namespace {

uint32_t wordAt(const dump::Block& block, std::size_t offset) {
  uint32_t word = 0;
  for (std::size_t i = 0; i < 4; ++i) word |= static_cast<uint32_t>(block[offset + i]) << (8 * i);
  return word;
}

void putWord(dump::Block& block, std::size_t offset, uint32_t word) {
  for (std::size_t i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(word >> (8 * i));
}

}  // namespace

dump::Block encodeValueBlock(uint32_t value, uint8_t address) {
  dump::Block block{};
  putWord(block, 0, value);
  putWord(block, 4, ~value);
  putWord(block, 8, value);
  const auto inverted = static_cast<uint8_t>(~address);
  block[12] = address;
  block[13] = inverted;
  block[14] = address;
  block[15] = inverted;
  return block;
}

long decodeValueBlock(const dump::Block& block, uint8_t blockNumber, uint32_t* value) {
  const uint32_t first = wordAt(block, 0);
  if (wordAt(block, 4) != ~first || wordAt(block, 8) != first) return NORVEX_E_VB_VALUE_DIFF;
  const uint8_t address = block[12];
  if (block[14] != address || block[13] != static_cast<uint8_t>(~address) ||
      block[15] != static_cast<uint8_t>(~address))
    return NORVEX_E_VB_ADDR_DIFF;
  if (address != blockNumber) return NORVEX_E_VB_INVALID_ADDR;
  *value = first;
  return NORVEX_OK;
}

}  // namespace norvex::cli
