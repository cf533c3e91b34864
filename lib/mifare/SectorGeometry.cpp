// SPDX-License-Identifier: MIT
// Sector geometry and its exported queries.

#include "mifare/SectorGeometry.h"

#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kFirstLargeSector = 32;
constexpr uint8_t kSmallSectorBlocks = 4;
constexpr uint8_t kLargeSectorBlocks = 16;
constexpr unsigned kFirstLargeSectorBlock = kFirstLargeSector * kSmallSectorBlocks;  // 128

// Runs a query on the geometry of a sector and stores its one-byte answer; the output is written
// only on success.
template <typename Query>
long AnswerFor(uint8_t sector, uint8_t* out, Query query) {
  if (out == nullptr) return wrong_parameter_value;
  const std::optional<SectorGeometry> geometry = GeometryOfSector(sector);
  if (!geometry) return invalid_sector_offset;
  *out = query(*geometry);
  return 0;
}

}  // namespace

std::optional<SectorGeometry> GeometryOfSector(uint8_t sector) {
  if (sector > kLastSector) return std::nullopt;
  if (sector < kFirstLargeSector)
    return SectorGeometry{static_cast<uint8_t>(sector * kSmallSectorBlocks), kSmallSectorBlocks};
  const unsigned first = kFirstLargeSectorBlock + (sector - kFirstLargeSector) * kLargeSectorBlocks;
  return SectorGeometry{static_cast<uint8_t>(first), kLargeSectorBlocks};
}

extern "C" {

NORVEX_API long MifC_GetSectorFirstBlock(uint8_t sector, uint8_t* block) try {
  return AnswerFor(sector, block, [](const SectorGeometry& g) { return g.firstBlock; });
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_GetSectorBlocksCount(uint8_t sector, uint8_t* count) try {
  return AnswerFor(sector, count, [](const SectorGeometry& g) { return g.blockCount; });
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_GetSectorDataSize(uint8_t sector, uint8_t* size) try {
  return AnswerFor(sector, size, [](const SectorGeometry& g) { return g.DataSize(); });
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_GetSectorTrailerBlock(uint8_t sector, uint8_t* block) try {
  return AnswerFor(sector, block, [](const SectorGeometry& g) { return g.TrailerBlock(); });
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
