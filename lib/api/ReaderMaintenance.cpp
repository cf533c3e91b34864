// SPDX-License-Identifier: MIT
// Reader maintenance: front-end registers, peripherals (LED, buzzer) and the entry into in-system
// programming.

#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

extern "C" {

NORVEX_API long SetIODevState(void* handle, uint8_t device, uint8_t state) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->SetPeriferialState(device, state);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long PcdReadReg(void* handle, uint8_t reg, uint8_t* value) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdReadRC(reg, value);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long PcdWriteReg(void* handle, uint8_t reg, uint8_t value) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdWriteRC(reg, value);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long EnterISPMode(void* handle) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->EnterISPMode();
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
