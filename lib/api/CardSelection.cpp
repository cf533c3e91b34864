// SPDX-License-Identifier: MIT
// ISO 14443-3 type A card selection: request/anticollision/select, the reader's one-step
// activation of idle and halted cards, halt and RF reset.

#include <cstring>

#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

// RF field reset before a fresh selection, in the reader's unit of RdPcdRfReset.
constexpr uint16_t kSelectionRfReset = 25;
constexpr uint8_t kRequestAll = 0x52;  // REQA/WUPA: idle and halted cards answer
constexpr uint8_t kActivationMode = 0;
constexpr uint8_t kUidCapacity = 10;  // a triple-size UID

}  // namespace

extern "C" {

NORVEX_API long SelectCard(void* handle, uint32_t* serial, uint8_t* atq, uint8_t* sak) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (serial == nullptr) return wrong_parameter_value;
  Host2RDCom& reader = *session->commandSet;
  if (long status = reader.RdPcdRfReset(kSelectionRfReset)) return status;
  if (long status = reader.RdMfPiccRequest(kRequestAll, atq)) return status;
  uint8_t snr[4] = {};
  if (long status = reader.RdMfPiccAnticoll(0, snr)) return status;
  // The serial number bytes keep the order the card sent them in, whatever the host's byte order.
  std::memcpy(serial, snr, sizeof snr);
  return reader.RdMfPiccSelect(snr, sak);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetCardID(void* handle, uint32_t* serial) try {
  uint8_t atq[2] = {};
  uint8_t sak = 0;
  return SelectCard(handle, serial, atq, &sak);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SelectCardEx(void* handle, uint8_t* uid, uint8_t* uidLen, uint8_t* atq,
                             uint8_t* sak) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (long status = session->commandSet->RdPcdRfReset(kSelectionRfReset)) return status;
  return session->commandSet->RdPiccActivateIdle(kActivationMode, atq, sak, uid, uidLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetCardIDEx(void* handle, uint8_t* uid, uint8_t* uidLen) try {
  uint8_t atq[2] = {};
  uint8_t sak = 0;
  return SelectCardEx(handle, uid, uidLen, atq, &sak);
} catch (...) {
  return StatusOfCurrentException();
}

// A presence test: is there a card that can be activated after an RF reset?
NORVEX_API long GetCardIDF(void* handle) try {
  uint8_t uid[kUidCapacity] = {};
  uint8_t uidLen = kUidCapacity;
  return GetCardIDEx(handle, uid, &uidLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SelectIdleCard(void* handle, uint8_t* uid, uint8_t* uidLen, uint8_t* atq,
                               uint8_t* sak) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPiccActivateIdle(kActivationMode, atq, sak, uid, uidLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SelectWakeUpCard(void* handle, uint8_t* uid, uint8_t* uidLen, uint8_t* atq,
                                 uint8_t* sak) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPiccActivateWakeup(kActivationMode, atq, sak, uid, uidLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long ExecAnticol(void* handle, uint8_t bitCount, uint8_t* snr) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdMfPiccAnticoll(bitCount, snr);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long HaltCard(void* handle) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdMfPiccHalt();
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long RfReset(void* handle, uint16_t duration) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPcdRfReset(duration);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
