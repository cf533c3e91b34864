// SPDX-License-Identifier: MIT
// A session's DESFire record: creation, release, its settings, and the card's activation.

#include <array>
#include <memory>

#include "desfire/DesfirePreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

namespace {

constexpr uint8_t kRatsParam = 0x00;  // FSDI 0 (16-byte frames), CID 0
constexpr uint16_t kAtsCapacity = 100;
constexpr uint16_t kDesfireFrameSize = 16;
constexpr size_t kFormatByte = 1;  // T0 follows TL

// The card must accept frames as large as the reader announced (FSDI <= FSCI). An ATS without T0
// leaves the card at the default FSCI 2.
long CheckFrameSizes(const uint8_t* ats, uint16_t atsLen) {
  if (atsLen == 0) return resp_too_short;
  constexpr uint8_t kDefaultFsci = 2;
  const uint8_t fsci = atsLen > kFormatByte ? (ats[kFormatByte] & 0x0F) : kDefaultFsci;
  return (kRatsParam >> 4) > fsci ? frame_too_small : 0;
}

}  // namespace

extern "C" {

NORVEX_API long DF_InitData(void* handle) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  session->desfire = std::make_unique<DESFIRE_RECORD>();
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_FreeData(void* handle) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  session->desfire.reset();
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_SetCmdFormat(void* handle, unsigned format) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Record, &record)) return status;
  record->commandFormat = format;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetCmdFormat(void* handle, unsigned* format) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Record, &record)) return status;
  if (format == nullptr) return wrong_parameter_value;
  *format = record->commandFormat;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_SetFrameSize(void* handle, uint16_t size) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Record, &record)) return status;
  record->frameSize = size;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetFrameSize(void* handle, uint16_t* size) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Record, &record)) return status;
  if (size == nullptr) return wrong_parameter_value;
  *size = record->frameSize;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_Connect(void* handle) try {
  if (long status = DF_InitData(handle)) return status;
  std::array<uint8_t, kAtsCapacity> ats{};
  uint16_t atsLen = kAtsCapacity;
  if (long status = Request_ATS(handle, kRatsParam, &atsLen, ats.data())) return status;
  if (long status = CheckFrameSizes(ats.data(), atsLen)) return status;
  return DF_SetFrameSize(handle, kDesfireFrameSize);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
