// SPDX-License-Identifier: MIT
// Mifare Ultralight (and NTAG) pages: card acquisition, 16-byte reads of four pages, page writes.
// Each transfer is one generic card read or write instruction carrying the card's command code.

#include <algorithm>
#include <array>

#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kCardRead = 0x30;            // answers 16 bytes: pages p to p + 3
constexpr uint8_t kCompatibilityWrite = 0xA0;  // 16 bytes offered, the first 4 stored in page p
constexpr uint8_t kPageWrite = 0xA2;
constexpr uint8_t kReadLength = 16;
constexpr uint8_t kPageLength = 4;
constexpr uint8_t kUltralightUidLength = 7;  // double-size UID
constexpr uint8_t kUidRoom = 8;
constexpr long kUnexpectedUidLength = -1;

}  // namespace

extern "C" {

// Only a double-size UID is an Ultralight's; for any other card the caller's buffer stays as it
// was.
NORVEX_API long MifU_GetCard(void* handle, uint8_t* uid) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (uid == nullptr) return wrong_parameter_value;
  std::array<uint8_t, kUidRoom> found{};
  uint8_t length = kUidRoom, atq[2] = {}, sak = 0;
  if (long status = SelectIdleCard(handle, found.data(), &length, atq, &sak)) return status;
  if (length != kUltralightUidLength) return kUnexpectedUidLength;
  std::copy_n(found.begin(), kUltralightUidLength, uid);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

// The card always answers 16 bytes: a shorter answer is an error and out is left as it was.
NORVEX_API long MifU_Read16Bytes(void* handle, uint8_t page, uint8_t* out) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (out == nullptr) return wrong_parameter_value;
  std::array<uint8_t, kReadLength> pages{};
  Host2RDCom& reader = *session->commandSet;
  if (long status = reader.RdPiccCommonRead(kCardRead, page, kReadLength, pages.data())) {
    return status;
  }
  if (reader.ReplyLength() != kReadLength) return resp_too_short;
  std::copy(pages.begin(), pages.end(), out);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifU_ReadPage(void* handle, uint8_t page, uint8_t* out) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (out == nullptr) return wrong_parameter_value;
  std::array<uint8_t, kReadLength> pages{};
  if (long status = MifU_Read16Bytes(handle, page, pages.data())) return status;
  std::copy_n(pages.begin(), kPageLength, out);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifU_Write16Bytes(void* handle, uint8_t page, const uint8_t* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (data == nullptr) return wrong_parameter_value;
  return session->commandSet->RdPiccCommonWrite(kCompatibilityWrite, page, kReadLength, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifU_WritePage(void* handle, uint8_t page, const uint8_t* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (data == nullptr) return wrong_parameter_value;
  return session->commandSet->RdPiccCommonWrite(kPageWrite, page, kPageLength, data);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
