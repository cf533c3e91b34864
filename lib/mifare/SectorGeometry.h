// SPDX-License-Identifier: MIT
#pragma once
// Where a Mifare Classic sector lies on the card. One layout serves 1K and 4K cards: sectors 0-31
// hold 4 blocks each, sectors 32-39 (4K only) 16 blocks each; the last block is the trailer.

#include <cstdint>
#include <optional>

struct SectorGeometry {
  uint8_t firstBlock;
  uint8_t blockCount;

  uint8_t TrailerBlock() const { return static_cast<uint8_t>(firstBlock + blockCount - 1); }
  uint8_t DataBlockCount() const { return static_cast<uint8_t>(blockCount - 1); }
  // Bytes of sector data (the data blocks without the trailer): 48 or 240.
  uint8_t DataSize() const { return static_cast<uint8_t>(DataBlockCount() * kBlockSize); }
  // Bytes of a whole sector (data blocks and trailer): 64 or 256.
  uint16_t WholeSize() const { return static_cast<uint16_t>(blockCount * kBlockSize); }

  static constexpr uint8_t kBlockSize = 16;
};

// Sector numbers above this one do not exist on any Mifare Classic card.
constexpr uint8_t kLastSector = 39;

// The geometry of a sector, or nothing for a sector above 39.
std::optional<SectorGeometry> GeometryOfSector(uint8_t sector);
