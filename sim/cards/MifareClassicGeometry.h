// SPDX-License-Identifier: MIT
#pragma once
// Mifare Classic memory layout: sectors 0-31 of 4 blocks, sectors 32-39 (4K only) of 16 blocks;
// the last block of a sector is its trailer. Blocks are 16 bytes.

#include <cstddef>
#include <cstdint>

namespace norvexsim::classic {

constexpr size_t kBlockSize = 16;
constexpr unsigned kSmallSectors = 32;
constexpr unsigned kSmallSectorBlocks = 4;
constexpr unsigned kLargeSectorBlocks = 16;
constexpr unsigned kLargeSectorStart = kSmallSectors * kSmallSectorBlocks;  // block 128

constexpr unsigned sectorOf(unsigned block) {
  return block < kLargeSectorStart
             ? block / kSmallSectorBlocks
             : kSmallSectors + (block - kLargeSectorStart) / kLargeSectorBlocks;
}
constexpr unsigned firstBlockOf(unsigned sector) {
  return sector < kSmallSectors ? sector * kSmallSectorBlocks
                                : kLargeSectorStart + (sector - kSmallSectors) * kLargeSectorBlocks;
}
constexpr unsigned blocksIn(unsigned sector) {
  return sector < kSmallSectors ? kSmallSectorBlocks : kLargeSectorBlocks;
}
constexpr unsigned trailerOf(unsigned sector) {
  return firstBlockOf(sector) + blocksIn(sector) - 1;
}
constexpr bool isTrailer(unsigned block) {
  return block == trailerOf(sectorOf(block));
}

// Which set of access bits governs a block: 0-2 for data blocks, 3 for the trailer. In the
// 16-block sectors each data set stands for a group of five blocks.
constexpr unsigned accessGroupOf(unsigned block) {
  unsigned offset = block - firstBlockOf(sectorOf(block));
  if (isTrailer(block)) return 3;
  return blocksIn(sectorOf(block)) == kSmallSectorBlocks ? offset : offset / 5;
}

}  // namespace norvexsim::classic
