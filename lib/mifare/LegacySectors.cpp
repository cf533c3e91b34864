// SPDX-License-Identifier: MIT
// The older interface's single blocks and 4-block sectors: each call selects the card afresh,
// authenticates with the key it is given and moves whole blocks. Sector s is blocks 4*s to
// 4*s+3, so only sectors 0-31 are addressed this way; any other number is refused before the
// card is touched, rather than being folded onto some other sector's blocks.

#include "mifare/LegacySteps.h"
#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

extern "C" {

NORVEX_API long ReadBlock(void* handle, uint8_t block, const _MIF_KEY_* key, uint8_t* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (AnyNull({key, data})) return wrong_parameter_value;
  if (long status = SelectAndAuthenticate(handle, key, block)) return status;
  return MifC_ReadBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long ReadSector(void* handle, const _MIF_KEY_* key, uint16_t sector, uint8_t* data) try {
  if (long status = CheckSmallSector(handle, sector)) return status;
  if (AnyNull({key, data})) return wrong_parameter_value;
  const SectorGeometry geometry = *SmallSector(sector);
  if (long status = SelectAndAuthenticate(handle, key, geometry.firstBlock)) return status;
  return ReadBlockRun(handle, geometry.firstBlock, geometry.blockCount, data);
} catch (...) {
  return StatusOfCurrentException();
}

// The trailer is written last, so new keys or access bits apply only after the data went in.
NORVEX_API long WriteSector(void* handle, uint16_t sector, const _MIF_KEY_* key,
                            const uint8_t* data) try {
  if (long status = CheckSmallSector(handle, sector)) return status;
  if (AnyNull({key, data})) return wrong_parameter_value;
  const SectorGeometry geometry = *SmallSector(sector);
  if (long status = SelectAndAuthenticate(handle, key, geometry.firstBlock)) return status;
  return WriteBlockRun(handle, geometry.firstBlock, geometry.blockCount, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WriteSectorData(void* handle, const _MIF_KEY_* key, uint16_t sector,
                                const uint8_t* data) try {
  if (long status = CheckSmallSector(handle, sector)) return status;
  if (AnyNull({key, data})) return wrong_parameter_value;
  const SectorGeometry geometry = *SmallSector(sector);
  if (long status = SelectAndAuthenticate(handle, key, geometry.firstBlock)) return status;
  return WriteBlockRun(handle, geometry.firstBlock, geometry.DataBlockCount(), data);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"

NORVEX_API long WriteBlock(void* handle, unsigned char block, _MIF_KEY_* key,
                           unsigned char* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (AnyNull({key, data})) return wrong_parameter_value;
  if (long status = SelectAndAuthenticate(handle, key, block)) return status;
  return MifC_WriteBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}
