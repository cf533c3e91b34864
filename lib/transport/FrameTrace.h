// SPDX-License-Identifier: MIT
#pragma once
// A session's reader traffic trace: every frame the framing protocol writes to the reader and every
// whole frame it reads back, handed to a caller's function with the time since tracing began.
// When no function is set the framing protocol pays one pointer test per frame.

#include <chrono>
#include <cstddef>
#include <cstdint>

enum class FrameDirection : int { ToReader = 0, FromReader = 1 };

struct FrameTrace {
  using Callback = void (*)(void* context, int direction, const unsigned char* frame, size_t length,
                            uint64_t microseconds);

  Callback callback = nullptr;
  void* context = nullptr;
  std::chrono::steady_clock::time_point origin;

  void Record(FrameDirection direction, const unsigned char* frame, size_t length) const {
    if (callback == nullptr) return;
    const auto elapsed = std::chrono::steady_clock::now() - origin;
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    callback(context, static_cast<int>(direction), frame, length, static_cast<uint64_t>(micros));
  }
};
