// SPDX-License-Identifier: MIT
// Value blocks through the MifC_ family: preparing a sector for value blocks, laying out a value
// block, and the card's increment and decrement with the result transferred back into the block.

#include "mifare/LegacySteps.h"
#include "mifare/MifACL.h"
#include "mifare/MifcPreconditions.h"
#include "mifare/ValueBlockFormat.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

extern "C" {

// Only the trailer is written: the data blocks keep whatever they hold until values are created.
NORVEX_API long MifC_FormatValueSector(void* handle, uint8_t sector, const _MIF_KEY_* keyA,
                                       const _MIF_KEY_* keyB, const _MIF_KEY_* key) try {
  if (AnyNull({keyA, keyB, key})) return wrong_parameter_value;
  if (long status = MifC_AuthSectorSingle(handle, key, sector)) return status;
  return MifC_WriteSectorTrailer2(handle, sector, ba_MAD_T_ACL, keyA, keyB);
} catch (...) {
  return StatusOfCurrentException();
}

// A value written over a sector trailer would replace its keys and access bits (possibly locking
// the sector for good), so trailers are refused before anything is sent.
NORVEX_API long MifC_CreateValue(void* handle, uint32_t value, uint8_t block,
                                 const _MIF_KEY_* key) try {
  if (key == nullptr || IsTrailerBlock(block)) return wrong_parameter_value;
  const ValueBlock bytes = BuildValueBlock(value, block);
  return MifC_WriteBlockSingle(handle, key, block, bytes.data());
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_ProcessValue(void* handle, uint8_t op, uint8_t block, uint32_t value) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  const auto operand = ValueOperand(value);
  return session->commandSet->RdMfPiccValue(op, block, operand.data(), block);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_ProcessValueAuth(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                      uint8_t op, uint8_t block, uint32_t value) try {
  if (long status = MifC_AuthBlock(handle, key, uid, block)) return status;
  return MifC_ProcessValue(handle, op, block, value);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifC_ProcessValueSingle(void* handle, const _MIF_KEY_* key, uint8_t op,
                                        uint8_t block, uint32_t value) try {
  if (long status = MifC_AuthBlockSingle(handle, key, block)) return status;
  return MifC_ProcessValue(handle, op, block, value);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
