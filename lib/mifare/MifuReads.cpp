// SPDX-License-Identifier: MIT
// FAST_READ (0x3A start end), many pages in one exchange.

#include <algorithm>
#include <vector>

#include "mifare/MifuFrames.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kFastRead = 0x3A;
constexpr size_t kPageLength = 4;
// Pages per FAST_READ: 240 bytes and the CRC fit the frame buffer of common reader chips.
constexpr unsigned kFastReadPages = 60;

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

}  // extern "C"
