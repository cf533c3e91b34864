// SPDX-License-Identifier: MIT
// FAST_READ (0x3A start end), many pages in one exchange, and READ_CNT (0x39), the 24-bit
// counters of Ultralight EV1 (0-2) and the NFC counter (2) of NTAG21x.

#include <algorithm>
#include <array>
#include <vector>

#include "mifare/MifuFrames.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kFastRead = 0x3A;
constexpr uint8_t kReadCounter = 0x39;
constexpr size_t kPageLength = 4;
// Pages per FAST_READ: 240 bytes and the CRC fit the frame buffer of common reader chips.
constexpr unsigned kFastReadPages = 60;
constexpr size_t kCounterLength = 3;

}  // namespace

extern "C" {

NORVEX_API long MifU_FastRead(void* handle, uint8_t first, uint8_t last, uint8_t* out) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (out == nullptr || first > last) return wrong_parameter_value;
  std::vector<uint8_t> pages((last - first + 1u) * kPageLength);
  for (unsigned start = first; start <= last; start += kFastReadPages) {
    const unsigned end = std::min<unsigned>(last, start + kFastReadPages - 1);
    const uint8_t frame[] = {kFastRead, static_cast<uint8_t>(start), static_cast<uint8_t>(end)};
    const std::span<uint8_t> chunk(pages.data() + (start - first) * kPageLength,
                                   (end - start + 1) * kPageLength);
    if (long status = mifu::ExchangeFrame(*session->commandSet, frame, chunk, card_byte_err)) {
      return status;
    }
  }
  std::copy(pages.begin(), pages.end(), out);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

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

}  // extern "C"
