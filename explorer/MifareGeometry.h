// SPDX-License-Identifier: MIT
#pragma once
// Mifare Classic sector sizes as the explorer transfers them: sectors 0 to 31 carry 3 data blocks
// (48 bytes), sectors 32 and above 15 (240 bytes); the trailer is never part of the sector data.

namespace mifare_geometry {

constexpr int kSmallSectorData = 48;
constexpr int kLargeSectorData = 240;
constexpr int kLastSmallSector = 31;

constexpr int SectorDataSize(int sector) {
  return sector <= kLastSmallSector ? kSmallSectorData : kLargeSectorData;
}

constexpr int DataBlocks(int sector) {
  return SectorDataSize(sector) / 16;
}

// Card block number of the first block of a sector (sector 32 starts at block 128).
constexpr int FirstBlock(int sector) {
  return sector <= kLastSmallSector ? 4 * sector : 128 + 16 * (sector - 32);
}

// Where a sector's data starts in the whole-card data image.
constexpr int SectorOffset(int sector) {
  return sector <= kLastSmallSector + 1 ? kSmallSectorData * sector
                                        : kSmallSectorData * 32 + kLargeSectorData * (sector - 32);
}

// The sector whose data holds byte `offset` of the whole-card data image.
constexpr int SectorAtOffset(int offset) {
  return offset < kSmallSectorData * 32 ? offset / kSmallSectorData
                                        : 32 + (offset - kSmallSectorData * 32) / kLargeSectorData;
}

// Size of the whole-card data image of a card with `sectors` sectors: 768 for 16, 3456 for 40.
constexpr int CardImageSize(int sectors) {
  return SectorOffset(sectors);
}

}  // namespace mifare_geometry
