// SPDX-License-Identifier: MIT
// Card acquisition and Mifare Classic authentication with a key the caller passes.
//
// Authenticating any block opens its whole sector, so the sector forms authenticate the sector's
// first block. The card keeps that authentication until it is selected again or another sector is
// authenticated; nothing is cached on the host side.

#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

namespace {

// ISO 14443-A request code that wakes every card in the field, halted ones included.
constexpr uint8_t kRequestAll = 0x52;
constexpr uint8_t kNoKnownUidBits = 0;

static_assert(sizeof(_MIF_KEY_) == 7, "a key record is the key type and 6 key bytes");
static_assert(sizeof(_MIF_SINGLE_UID) == 4, "a single-size UID is 4 bytes");

}  // namespace

extern "C" {

// Request (all cards), one anticollision level, select. Only single-size UIDs are handled: there is
// no cascade. The ATQ and SAK are not needed by the callers and are dropped.
NORVEX_API long MifC_GetCard(void* handle, uint8_t* uid) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (uid == nullptr) return wrong_parameter_value;
  Host2RDCom& reader = *session->commandSet;
  uint8_t atq[2] = {};
  if (long status = reader.RdMfPiccRequest(kRequestAll, atq)) return status;
  uint8_t serial[4] = {};
  if (long status = reader.RdMfPiccAnticoll(kNoKnownUidBits, serial)) return status;
  for (int i = 0; i < 4; ++i) uid[i] = serial[i];
  uint8_t sak = 0;
  return reader.RdMfPiccSelect(uid, &sak);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_AuthBlock(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                               uint8_t block) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (AnyNull({key, uid})) return wrong_parameter_value;
  Host2RDCom& reader = *session->commandSet;
  // The reader takes keys only in its coded form: each nibble beside its complement.
  uint8_t codedKey[12] = {};
  if (long status = reader.RdHostCodeKey(key->KeyValue, codedKey)) return status;
  return reader.RdMfPiccAuthKey(key->KeyType, uid, codedKey, block);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_AuthBlockSingle(void* handle, const _MIF_KEY_* key, uint8_t block) try {
  if (key == nullptr) return wrong_parameter_value;
  uint8_t uid[4] = {};
  if (long status = MifC_GetCard(handle, uid)) return status;
  return MifC_AuthBlock(handle, key, uid, block);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_AuthSector(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                uint8_t sector) try {
  uint8_t firstBlock = 0;
  if (long status = MifC_GetSectorFirstBlock(sector, &firstBlock)) return status;
  return MifC_AuthBlock(handle, key, uid, firstBlock);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_AuthSectorSingle(void* handle, const _MIF_KEY_* key, uint8_t sector) try {
  if (long status = CheckSector(sector)) return status;
  if (key == nullptr) return wrong_parameter_value;
  uint8_t uid[4] = {};
  if (long status = MifC_GetCard(handle, uid)) return status;
  return MifC_AuthSector(handle, key, uid, sector);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
