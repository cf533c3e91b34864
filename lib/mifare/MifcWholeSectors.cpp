// SPDX-License-Identifier: MIT
// Writing a whole sector: its data blocks first, then its trailer, so that new keys or access
// conditions take effect only after the data has gone in under the old ones.

#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

extern "C" {

NORVEX_API long MifC_WriteSector(void* handle, uint8_t sector, const uint8_t* data, uint8_t size,
                                 const uint8_t* acl, const _MIF_KEY_* keyA,
                                 const _MIF_KEY_* keyB) try {
  if (AnyNull({data, acl, keyA, keyB})) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  if (long status = MifC_WriteSectorData(handle, data, size, sector)) return status;
  return MifC_WriteSectorTrailer2(handle, sector, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorAuth(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                     uint8_t sector, const uint8_t* data, uint8_t size,
                                     const uint8_t* acl, const _MIF_KEY_* keyA,
                                     const _MIF_KEY_* keyB) try {
  if (AnyNull({key, uid, data, acl, keyA, keyB})) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_WriteSector(handle, sector, data, size, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorSingle(void* handle, uint8_t sector, const uint8_t* data,
                                       uint8_t size, const uint8_t* acl, const _MIF_KEY_* key,
                                       const _MIF_KEY_* keyA, const _MIF_KEY_* keyB) try {
  if (AnyNull({key, data, acl, keyA, keyB})) return wrong_parameter_value;
  if (long status = CheckSectorDataSize(sector, size)) return status;
  if (long status = MifC_AuthSectorSingle(handle, key, sector)) return status;
  return MifC_WriteSector(handle, sector, data, size, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

// The buffer holds the whole sector, trailer last: exactly 64 bytes for a 4-block sector and 256
// for a 16-block one. Any other size is refused before anything is written, so a short buffer can
// never be read past its end for the trailer.
NORVEX_API long MifC_WriteSector2(void* handle, uint8_t sector, const uint8_t* buffer,
                                  uint16_t size) try {
  if (buffer == nullptr) return wrong_parameter_value;
  if (long status = CheckWholeSectorSize(sector, size)) return status;
  const SectorGeometry geometry = *GeometryOfSector(sector);
  if (long status = MifC_WriteSectorData(handle, buffer, geometry.DataSize(), sector))
    return status;
  return MifC_WriteBlock(handle, geometry.TrailerBlock(), buffer + geometry.DataSize());
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorAuth2(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                      uint8_t sector, const uint8_t* buffer, uint16_t size) try {
  if (AnyNull({key, uid, buffer})) return wrong_parameter_value;
  if (long status = CheckWholeSectorSize(sector, size)) return status;
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_WriteSector2(handle, sector, buffer, size);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorSingle2(void* handle, uint8_t sector, const uint8_t* buffer,
                                        uint16_t size, const _MIF_KEY_* key) try {
  if (AnyNull({key, buffer})) return wrong_parameter_value;
  if (long status = CheckWholeSectorSize(sector, size)) return status;
  if (long status = MifC_AuthSectorSingle(handle, key, sector)) return status;
  return MifC_WriteSector2(handle, sector, buffer, size);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
