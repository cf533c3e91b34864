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

// Size of the whole-card data image of a card with `sectors` sectors: 768 for 16, 3456 for 40.
constexpr int CardImageSize(int sectors) {
  int size = 0;
  for (int s = 0; s < sectors; ++s) size += SectorDataSize(s);
  return size;
}

}  // namespace mifare_geometry
