// SPDX-License-Identifier: MIT
// Reading and writing single 16-byte Mifare Classic blocks, in the plain, authenticating and
// self-contained forms. The card itself enforces the sector's access conditions.

#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

extern "C" {

NORVEX_API long MifC_ReadBlock(void* handle, uint8_t block, uint8_t* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (data == nullptr) return wrong_parameter_value;
  return session->commandSet->RdMfPiccRead(block, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_ReadBlockAuth(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                   uint8_t block, uint8_t* data) try {
  if (AnyNull({key, uid, data})) return wrong_parameter_value;
  if (long status = MifC_AuthBlock(handle, key, uid, block)) return status;
  return MifC_ReadBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_ReadBlockSingle(void* handle, const _MIF_KEY_* key, uint8_t block,
                                     uint8_t* data) try {
  if (AnyNull({key, data})) return wrong_parameter_value;
  if (long status = MifC_AuthBlockSingle(handle, key, block)) return status;
  return MifC_ReadBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteBlock(void* handle, uint8_t block, const uint8_t* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (data == nullptr) return wrong_parameter_value;
  return session->commandSet->RdMfPiccWrite(block, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteBlockAuth(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                    uint8_t block, const uint8_t* data) try {
  if (AnyNull({key, uid, data})) return wrong_parameter_value;
  if (long status = MifC_AuthBlock(handle, key, uid, block)) return status;
  return MifC_WriteBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_WriteBlockSingle(void* handle, const _MIF_KEY_* key, uint8_t block,
                                      const uint8_t* data) try {
  if (AnyNull({key, data})) return wrong_parameter_value;
  if (long status = MifC_AuthBlockSingle(handle, key, block)) return status;
  return MifC_WriteBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
