// SPDX-License-Identifier: MIT
// Reading sector trailers, whole or split into key A, access bytes and key B. The bytes are passed
// on exactly as the card returns them: a card reads key A as zeros, and key B as zeros where the
// access conditions keep it secret.

#include <algorithm>

#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

namespace {

// Hands the parts of a trailer to whichever outputs the caller asked for.
void SplitTrailer(const uint8_t* trailer, uint8_t* acl, _MIF_KEY_* keyA, _MIF_KEY_* keyB) {
  if (keyA != nullptr) {
    keyA->KeyType = MIF_KEY_TYPE_A;
    std::copy_n(trailer, 6, keyA->KeyValue);
  }
  if (acl != nullptr) std::copy_n(trailer + 6, 4, acl);
  if (keyB != nullptr) {
    keyB->KeyType = MIF_KEY_TYPE_B;
    std::copy_n(trailer + 10, 6, keyB->KeyValue);
  }
}

}  // namespace

extern "C" {

NORVEX_API long MifC_GetSectorTrailer(void* handle, uint8_t sector, uint8_t* trailer) try {
  uint8_t trailerBlock = 0;
  if (long status = MifC_GetSectorTrailerBlock(sector, &trailerBlock)) return status;
  return MifC_ReadBlock(handle, trailerBlock, trailer);
} catch (...) {
  return StatusOfCurrentException();
}

// The outputs are written only after a successful read.
NORVEX_API long MifC_GetSectorTrailer2(void* handle, uint8_t sector, uint8_t* acl, _MIF_KEY_* keyA,
                                       _MIF_KEY_* keyB) try {
  uint8_t trailer[SectorGeometry::kBlockSize] = {};
  if (long status = MifC_GetSectorTrailer(handle, sector, trailer)) return status;
  SplitTrailer(trailer, acl, keyA, keyB);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_GetSectorTrailerAuth(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                          uint8_t sector, uint8_t* trailer) try {
  if (AnyNull({key, uid, trailer})) return wrong_parameter_value;
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_GetSectorTrailer(handle, sector, trailer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_GetSectorTrailerAuth2(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                           uint8_t sector, uint8_t* acl, _MIF_KEY_* keyA,
                                           _MIF_KEY_* keyB) try {
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_GetSectorTrailer2(handle, sector, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_GetSectorTrailerSingle(void* handle, const _MIF_KEY_* key, uint8_t sector,
                                            uint8_t* trailer) try {
  if (AnyNull({key, trailer})) return wrong_parameter_value;
  if (long status = MifC_AuthSectorSingle(handle, key, sector)) return status;
  return MifC_GetSectorTrailer(handle, sector, trailer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_GetSectorTrailerSingle2(void* handle, const _MIF_KEY_* key, uint8_t sector,
                                             uint8_t* acl, _MIF_KEY_* keyA, _MIF_KEY_* keyB) try {
  if (long status = MifC_AuthSectorSingle(handle, key, sector)) return status;
  return MifC_GetSectorTrailer2(handle, sector, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
