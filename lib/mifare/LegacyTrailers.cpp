// SPDX-License-Identifier: MIT
// The older interface's sector trailer writers. The two new keys come in either order: the one of
// type key A (0x60) goes into bytes 0-5, the other into bytes 10-15, the access bytes between.
// Only a sector trailer is written this way: keys written into a data block would lie there in
// plain sight, and a block number past 255 would otherwise wrap onto another sector.

#include <algorithm>
#include <array>

#include "mifare/LegacySteps.h"
#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

namespace {

using TrailerBytes = std::array<uint8_t, SectorGeometry::kBlockSize>;

TrailerBytes ComposeTrailer(const uint8_t* acl, const _MIF_KEY_& newKey1,
                            const _MIF_KEY_& newKey2) {
  const bool firstIsKeyA = newKey1.KeyType == MIF_KEY_TYPE_A;
  const _MIF_KEY_& keyA = firstIsKeyA ? newKey1 : newKey2;
  const _MIF_KEY_& keyB = firstIsKeyA ? newKey2 : newKey1;
  TrailerBytes trailer{};
  auto next = std::copy_n(keyA.KeyValue, 6, trailer.begin());
  next = std::copy_n(acl, 4, next);
  std::copy_n(keyB.KeyValue, 6, next);
  return trailer;
}

// Session check, pointers, then the block: a sector trailer, or 8043.
long CheckTrailerCall(void* handle, unsigned block, std::initializer_list<const void*> pointers) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (AnyNull(pointers)) return wrong_parameter_value;
  return IsTrailerBlock(block) ? 0 : invalid_sector_offset;
}

// The checks of the caller are done: refuses two keys of one type, then selects the card,
// authenticates the trailer with key and writes the composed trailer.
long ComposeAndWrite(void* handle, uint8_t block, const uint8_t* acl, const _MIF_KEY_* key,
                     const _MIF_KEY_* newKey1, const _MIF_KEY_* newKey2) {
  if (newKey1->KeyType == newKey2->KeyType) return invalid_keys;
  if (long status = SelectAndAuthenticate(handle, key, block)) return status;
  const TrailerBytes trailer = ComposeTrailer(acl, *newKey1, *newKey2);
  return MifC_WriteBlock(handle, block, trailer.data());
}

}  // namespace

extern "C" {

NORVEX_API long WriteTrailerData(void* handle, uint16_t sector, const uint8_t* acl,
                                 const _MIF_KEY_* key, const _MIF_KEY_* newKey1,
                                 const _MIF_KEY_* newKey2) try {
  if (long status = CheckSmallSector(handle, sector)) return status;
  if (AnyNull({acl, key, newKey1, newKey2})) return wrong_parameter_value;
  return ComposeAndWrite(handle, SmallSector(sector)->TrailerBlock(), acl, key, newKey1, newKey2);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WriteTrailerDataDirect(void* handle, uint16_t block, const uint8_t* acl,
                                       const _MIF_KEY_* key, const _MIF_KEY_* newKey1,
                                       const _MIF_KEY_* newKey2) try {
  if (long status = CheckTrailerCall(handle, block, {acl, key, newKey1, newKey2})) return status;
  return ComposeAndWrite(handle, static_cast<uint8_t>(block), acl, key, newKey1, newKey2);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"

NORVEX_API long WriteTrailerDataEx(void* handle, unsigned short sector, const unsigned char* acl,
                                   _MIF_KEY_* key, _MIF_KEY_* newKey1, _MIF_KEY_* newKey2) try {
  if (sector > kLastSector) return wrong_parameter_value;
  const SectorGeometry geometry = *GeometryOfSector(static_cast<uint8_t>(sector));
  return WriteTrailerDataDirect(handle, geometry.TrailerBlock(), acl, key, newKey1, newKey2);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WriteTrailerDataDirectSN(void* handle, unsigned short block, _MIF_KEY_* key,
                                         unsigned char* trailer, unsigned char* uid) try {
  if (long status = CheckTrailerCall(handle, block, {key, trailer, uid})) return status;
  if (long status = MifC_AuthBlock(handle, key, uid, static_cast<uint8_t>(block))) return status;
  return MifC_WriteBlock(handle, static_cast<uint8_t>(block), trailer);
} catch (...) {
  return StatusOfCurrentException();
}
