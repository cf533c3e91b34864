// SPDX-License-Identifier: MIT
// ISO 14443-3 type B: polling with slots, slot markers, ATTRIB and HLTB. The parameter bytes pass
// through to the reader unchanged.

#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

extern "C" {

NORVEX_API long TypeB_RequestIdle(void* handle, uint8_t p1, uint8_t p2, uint8_t* atqb,
                                  uint16_t* atqbLen) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdISO14443TypeBRequestIdle(p1, p2, atqb, atqbLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long TypeB_RequestWakeUp(void* handle, uint8_t p1, uint8_t p2, uint8_t* atqb,
                                    uint16_t* atqbLen) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdISO14443TypeBRequestWakeUp(p1, p2, atqb, atqbLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long TypeB_SlotMarker(void* handle, uint8_t slot, uint8_t* atqb, uint16_t* atqbLen) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdISO14443TypeBSlotMarker(slot, atqb, atqbLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long TypeB_Halt(void* handle, const uint8_t* pupi) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdISO14443TypeBHalt(pupi);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long TypeB_Attrib(void* handle, const uint8_t* pupi, uint8_t p2, uint8_t p3, uint8_t p4,
                             uint8_t* p5, uint8_t* p6, uint8_t* hlLen, uint8_t* hl) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->PcdISO14443TypeBAttrib(pupi, p2, p3, p4, p5, p6, hlLen, hl);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
