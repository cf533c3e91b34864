// SPDX-License-Identifier: MIT
// The single-instruction functions of the older interface: each runs exactly one ISO 14443-A or
// Mifare instruction of the reader, so a caller can drive a card step by step.

#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

namespace {

constexpr uint8_t kRequestAll = 0x52;   // WUPA: idle and halted cards answer
constexpr uint8_t kRequestIdle = 0x26;  // REQA: idle cards only

// The session's command set, or the status of the session check.
long ReaderOf(void* handle, Host2RDCom** reader) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  *reader = session->commandSet.get();
  return 0;
}

}  // namespace

extern "C" {

NORVEX_API long REQUEST_ALL_CMD(void* handle, uint8_t* answer) try {
  Host2RDCom* reader = nullptr;
  if (long status = ReaderOf(handle, &reader)) return status;
  return reader->RdMfPiccRequest(kRequestAll, answer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long REQUEST_IDLE_CMD(void* handle, uint8_t* answer) try {
  Host2RDCom* reader = nullptr;
  if (long status = ReaderOf(handle, &reader)) return status;
  return reader->RdMfPiccRequest(kRequestIdle, answer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long ANTICOLLISION_CMD(void* handle, uint8_t bitCount, uint8_t* uid) try {
  Host2RDCom* reader = nullptr;
  if (long status = ReaderOf(handle, &reader)) return status;
  return reader->RdMfPiccAnticoll(bitCount, uid);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SELECT_CMD(void* handle, uint8_t* answer, const uint8_t* uid) try {
  Host2RDCom* reader = nullptr;
  if (long status = ReaderOf(handle, &reader)) return status;
  return reader->RdMfPiccSelect(uid, answer);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long AUTH_KEY_CMD(void* handle, uint8_t block, const uint8_t* uid,
                             const _MIF_KEY_* key) try {
  return MifC_AuthBlock(handle, key, uid, block);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long READ_CMD(void* handle, uint8_t block, uint8_t* data) try {
  return MifC_ReadBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WRITE_CMD(void* handle, uint8_t block, const uint8_t* data) try {
  return MifC_WriteBlock(handle, block, data);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
