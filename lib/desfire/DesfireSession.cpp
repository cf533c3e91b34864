// SPDX-License-Identifier: MIT
// A session's DESFire record: creation, release, its settings, and the card's activation.

#include <algorithm>
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

constexpr uint8_t kDefaultFsci = 2;  // an ATS without T0
constexpr uint8_t kMaxFsdi = 8;      // 256-byte frames
// Frame sizes of ISO 14443-4 by FSDI / FSCI; codes above 8 are read as 8.
constexpr std::array<uint16_t, kMaxFsdi + 1> kFrameSizes{16, 24, 32, 40, 48, 64, 96, 128, 256};

uint8_t FsciOf(const uint8_t* ats, uint16_t atsLen) {
  return atsLen > kFormatByte ? (ats[kFormatByte] & 0x0F) : kDefaultFsci;
}

// The card must accept frames as large as the reader announced (FSDI <= FSCI).
long CheckFrameSizes(const uint8_t* ats, uint16_t atsLen) {
  if (atsLen == 0) return resp_too_short;
  return (kRatsParam >> 4) > FsciOf(ats, atsLen) ? frame_too_small : 0;
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

// Every frame costs the card and the reader an exchange: frames as large as both sides take let a
// 1 KiB file travel in a few dozen instead of well over a hundred.
NORVEX_API long DF_ConnectFrames(void* handle, uint8_t fsdi) try {
  if (fsdi > kMaxFsdi) return wrong_parameter_value;
  if (long status = DF_InitData(handle)) return status;
  std::array<uint8_t, kAtsCapacity> ats{};
  uint16_t atsLen = kAtsCapacity;
  if (long status = Request_ATS(handle, static_cast<uint8_t>(fsdi << 4), &atsLen, ats.data())) {
    return status;
  }
  if (atsLen == 0) return resp_too_short;
  const uint8_t fsci = std::min(FsciOf(ats.data(), atsLen), kMaxFsdi);
  return DF_SetFrameSize(handle, kFrameSizes[fsci]);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
