// SPDX-License-Identifier: MIT
// Writing sector trailers: key A (bytes 0-5), the access bytes and general-purpose byte (6-9) and
// key B (10-15). The card applies the new keys and access conditions as soon as the trailer is
// written; the session keeps nothing of them.

#include <algorithm>
#include <array>

#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

namespace {

using TrailerBlock = std::array<uint8_t, SectorGeometry::kBlockSize>;

// Key values and access bytes laid out as a trailer; the KeyType fields have no place in it.
TrailerBlock ComposeTrailer(const uint8_t* acl, const _MIF_KEY_& keyA, const _MIF_KEY_& keyB) {
  TrailerBlock trailer{};
  auto next = std::copy_n(keyA.KeyValue, 6, trailer.begin());
  next = std::copy_n(acl, 4, next);
  std::copy_n(keyB.KeyValue, 6, next);
  return trailer;
}

}  // namespace

extern "C" {

NORVEX_API long MifC_WriteTrailerDirect(void* handle, uint8_t block, const uint8_t* acl,
                                        const _MIF_KEY_* keyA, const _MIF_KEY_* keyB) try {
  if (AnyNull({acl, keyA, keyB})) return wrong_parameter_value;
  const TrailerBlock trailer = ComposeTrailer(acl, *keyA, *keyB);
  return MifC_WriteBlock(handle, block, trailer.data());
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteTrailerDirect2(void* handle, uint8_t block, const uint8_t* trailer) try {
  return MifC_WriteBlock(handle, block, trailer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorTrailer2(void* handle, uint8_t sector, const uint8_t* acl,
                                         const _MIF_KEY_* keyA, const _MIF_KEY_* keyB) try {
  uint8_t trailerBlock = 0;
  if (long status = MifC_GetSectorTrailerBlock(sector, &trailerBlock)) return status;
  return MifC_WriteTrailerDirect(handle, trailerBlock, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorTrailer(void* handle, uint8_t sector, const uint8_t* trailer) try {
  uint8_t trailerBlock = 0;
  if (long status = MifC_GetSectorTrailerBlock(sector, &trailerBlock)) return status;
  return MifC_WriteBlock(handle, trailerBlock, trailer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorTrailerAuth(void* handle, uint8_t sector, const _MIF_KEY_* key,
                                            const uint8_t* uid, const uint8_t* acl,
                                            const _MIF_KEY_* keyA, const _MIF_KEY_* keyB) try {
  if (AnyNull({key, uid, acl, keyA, keyB})) return wrong_parameter_value;
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_WriteSectorTrailer2(handle, sector, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteSectorTrailerAuth2(void* handle, uint8_t sector, const _MIF_KEY_* key,
                                             const uint8_t* uid, const uint8_t* trailer) try {
  if (AnyNull({key, uid, trailer})) return wrong_parameter_value;
  if (long status = MifC_AuthSector(handle, key, uid, sector)) return status;
  return MifC_WriteSectorTrailer(handle, sector, trailer);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"

// These two keep C++ linkage: callers bind to symbols that encode the argument types.

NORVEX_API long MifC_WriteTrailerSingle(void* handle, _MIF_KEY_* key, unsigned char block,
                                        unsigned char* trailer) try {
  if (AnyNull({key, trailer})) return wrong_parameter_value;
  if (long status = MifC_AuthBlockSingle(handle, key, block)) return status;
  return MifC_WriteTrailerDirect2(handle, block, trailer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteTrailerSingle2(void* handle, _MIF_KEY_* key, unsigned char block,
                                         const unsigned char* acl, _MIF_KEY_* keyA,
                                         _MIF_KEY_* keyB) try {
  if (AnyNull({key, acl, keyA, keyB})) return wrong_parameter_value;
  if (long status = MifC_AuthBlockSingle(handle, key, block)) return status;
  return MifC_WriteTrailerDirect(handle, block, acl, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}
