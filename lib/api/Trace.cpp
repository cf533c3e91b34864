// SPDX-License-Identifier: MIT
// The per-session reader traffic trace.

#include <chrono>
#include <type_traits>

#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

static_assert(std::is_same_v<NorvexTraceCallback, FrameTrace::Callback>,
              "the public trace callback and the framing's must be one type");
static_assert(NORVEX_TRACE_OUT == static_cast<int>(FrameDirection::ToReader) &&
              NORVEX_TRACE_IN == static_cast<int>(FrameDirection::FromReader));

extern "C" {

NORVEX_API long SetTraceCallback(void* handle, NorvexTraceCallback callback, void* context) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  session->trace.callback = callback;
  session->trace.context = callback != nullptr ? context : nullptr;
  session->trace.origin = std::chrono::steady_clock::now();
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
