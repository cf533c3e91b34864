// SPDX-License-Identifier: MIT
// Reader configuration: RF attributes, card type, configuration sets, firmware version and the
// time-out the command set hands to the protocol.

#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

extern "C" {

NORVEX_API long PcdSetAttrib(void* handle, uint8_t a, uint8_t b) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPcdSetAttrib(a, b);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long PcdSetDefaultAttrib(void* handle) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPcdSetDefaultAttrib();
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long PcdSetCardType(void* handle, uint8_t cardType) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPcdSetCardType(cardType);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long Pcd_LoadConfig(void* handle, uint16_t config) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdLoadConfig(config);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetFWVersion(void* handle, uint8_t* version, uint8_t* len) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdGetFwVersion(version, len);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long Interface_SetTimeOuts(void* handle, uint32_t timeout, uint32_t* previous) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->SetTimeOuts(timeout, previous);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
