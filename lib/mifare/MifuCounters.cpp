// SPDX-License-Identifier: MIT
// The 24-bit one-way counters: READ_CNT (0x39), for the three counters of Ultralight EV1 (0-2)
// and the NFC counter (2) of NTAG21x, and INCR_CNT (0xA5) for the Ultralight EV1 ones. Values go
// least significant byte first.

#include <array>

#include "mifare/MifuFrames.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kReadCounter = 0x39;
constexpr uint8_t kIncrementCounter = 0xA5;
constexpr uint8_t kAck = 0x0A;
constexpr size_t kCounterLength = 3;
constexpr uint32_t kCounterMax = 0xFFFFFF;

}  // namespace

extern "C" {

NORVEX_API long MifU_ReadCounter(void* handle, uint8_t counter, uint32_t* value) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (value == nullptr) return wrong_parameter_value;
  const uint8_t frame[] = {kReadCounter, counter};
  std::array<uint8_t, kCounterLength> answer{};
  if (long status = mifu::ExchangeFrame(*session->commandSet, frame, answer, card_byte_err)) {
    return status;
  }
  *value = static_cast<uint32_t>(answer[0] | answer[1] << 8 | answer[2] << 16);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

// The tag takes four bytes of increment and ignores the last; it answers an ACK, or a NAK when
// the counter would pass its 24 bits.
NORVEX_API long MifU_IncrementCounter(void* handle, uint8_t counter, uint32_t increment) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (increment > kCounterMax) return wrong_parameter_value;
  const uint8_t frame[] = {kIncrementCounter,
                           counter,
                           static_cast<uint8_t>(increment),
                           static_cast<uint8_t>(increment >> 8),
                           static_cast<uint8_t>(increment >> 16),
                           0x00};
  std::array<uint8_t, 1> answer{};
  if (long status = mifu::ExchangeFrame(*session->commandSet, frame, answer, card_byte_err)) {
    return status;
  }
  return answer[0] == kAck ? 0 : card_byte_err;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
