// SPDX-License-Identifier: MIT
#include "mifare/LegacySteps.h"

#include <cstring>

#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr unsigned kSmallSectors = 32;
constexpr unsigned kSmallSectorBlocks = 4;
constexpr unsigned kLargeSectorBlocks = 16;
constexpr unsigned kFirstLargeBlock = kSmallSectors * kSmallSectorBlocks;  // 128
constexpr uint8_t kManufacturerBlock = 0;

}  // namespace

uint8_t SectorOfBlock(uint8_t block) {
  if (block < kFirstLargeBlock) return static_cast<uint8_t>(block / kSmallSectorBlocks);
  return static_cast<uint8_t>(kSmallSectors + (block - kFirstLargeBlock) / kLargeSectorBlocks);
}

bool IsTrailerBlock(unsigned block) {
  if (block > 0xFF) return false;
  return GeometryOfSector(SectorOfBlock(static_cast<uint8_t>(block)))->TrailerBlock() == block;
}

std::optional<SectorGeometry> SmallSector(unsigned sector) {
  if (sector >= kSmallSectors) return std::nullopt;
  return GeometryOfSector(static_cast<uint8_t>(sector));
}

long CheckSectorRecord(const MIF_SECTOR_DATA_EX& record) {
  const SectorGeometry geometry = *GeometryOfSector(SectorOfBlock(record.FirstBlock));
  const bool isSector =
      geometry.firstBlock == record.FirstBlock && geometry.blockCount == record.BlockCount;
  return isSector ? 0 : invalid_sector_offset;
}

long CheckSmallSector(void* handle, unsigned sector) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return SmallSector(sector) ? 0 : invalid_sector_offset;
}

long SelectCardUid(void* handle, uint8_t* uid) {
  uint32_t serial = 0;
  if (long status = GetCardID(handle, &serial)) return status;
  std::memcpy(uid, &serial, sizeof serial);  // the bytes in the order the card sent them
  return 0;
}

long SelectAndAuthenticate(void* handle, const _MIF_KEY_* key, uint8_t block) {
  uint8_t uid[4] = {};
  if (long status = SelectCardUid(handle, uid)) return status;
  return MifC_AuthBlock(handle, key, uid, block);
}

long ReadBlockRun(void* handle, uint8_t first, unsigned count, uint8_t* out) {
  for (unsigned i = 0; i < count; ++i) {
    const auto block = static_cast<uint8_t>(first + i);
    if (long status = MifC_ReadBlock(handle, block, out + SectorGeometry::kBlockSize * i))
      return status;
  }
  return 0;
}

long WriteBlockRun(void* handle, uint8_t first, unsigned count, const uint8_t* data) {
  for (unsigned i = 0; i < count; ++i) {
    const auto block = static_cast<uint8_t>(first + i);
    if (block == kManufacturerBlock) continue;
    if (long status = MifC_WriteBlock(handle, block, data + SectorGeometry::kBlockSize * i))
      return status;
  }
  return 0;
}
