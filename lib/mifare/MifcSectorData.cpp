// SPDX-License-Identifier: MIT
// Transfers of a sector's data blocks (the sector without its trailer): 48 bytes for the 4-block
// sectors, 240 bytes for the 16-block sectors of a 4K card. The blocks go in ascending order and
// the first failing block ends the transfer; blocks already transferred are kept.

#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

namespace {

// Block 0 holds the UID and manufacturer data; the sector-data writers never touch it.
constexpr uint8_t kManufacturerBlock = 0;

}  // namespace

extern "C" {

NORVEX_API long MifC_ReadSectorData(void* handle, uint8_t* buffer, uint8_t size,
                                    uint8_t sector) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (buffer == nullptr) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  const SectorGeometry geometry = *GeometryOfSector(sector);
  Host2RDCom& reader = *session->commandSet;
  for (unsigned i = 0; i < geometry.DataBlockCount(); ++i) {
    const auto block = static_cast<uint8_t>(geometry.firstBlock + i);
    if (long status = reader.RdMfPiccRead(block, buffer + SectorGeometry::kBlockSize * i))
      return status;
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_ReadSectorDataAuth(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                        uint8_t* buffer, uint8_t size, uint8_t sector) try {
  if (AnyNull({key, uid, buffer})) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_ReadSectorData(handle, buffer, size, sector);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_ReadSectorDataSingle(void* handle, const _MIF_KEY_* key, uint8_t* buffer,
                                          uint8_t size, uint8_t sector) try {
  if (AnyNull({key, buffer})) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  if (long status = MifC_AuthSectorSingle(handle, key, sector)) return status;
  return MifC_ReadSectorData(handle, buffer, size, sector);
} catch (...) {
  return StatusOfCurrentException();
}

// For sector 0 the buffer still holds 48 bytes; its first 16 (block 0's place) are ignored.
NORVEX_API long MifC_WriteSectorData(void* handle, const uint8_t* buffer, uint8_t size,
                                     uint8_t sector) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (buffer == nullptr) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  const SectorGeometry geometry = *GeometryOfSector(sector);
  Host2RDCom& reader = *session->commandSet;
  for (unsigned i = 0; i < geometry.DataBlockCount(); ++i) {
    const auto block = static_cast<uint8_t>(geometry.firstBlock + i);
    if (block == kManufacturerBlock) continue;
    if (long status = reader.RdMfPiccWrite(block, buffer + SectorGeometry::kBlockSize * i))
      return status;
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorDataAuth(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                         const uint8_t* buffer, uint8_t size, uint8_t sector) try {
  if (AnyNull({key, uid, buffer})) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_WriteSectorData(handle, buffer, size, sector);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorDataSingle(void* handle, const _MIF_KEY_* key,
                                           const uint8_t* buffer, uint8_t size,
                                           uint8_t sector) try {
  if (AnyNull({key, buffer})) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  if (long status = MifC_AuthSectorSingle(handle, key, sector)) return status;
  return MifC_WriteSectorData(handle, buffer, size, sector);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
