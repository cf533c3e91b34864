// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <chrono>

// The end of one call's time-out, fixed when the call starts. Every transfer the call makes gets
// what is left of it, so the time-out bounds the whole call however many transfers it takes.
class CallDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CallDeadline(unsigned long timeoutMs)
      : end(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}

  bool Passed() const { return Clock::now() >= end; }

  // Milliseconds left, at least 1: a transfer whose data is already there still succeeds, and no
  // transfer is ever handed 0, which some layers read as "the default" or "for ever".
  unsigned long RemainingMs() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    return static_cast<unsigned long>(std::clamp<long long>(left, 1, 1 << 30));
  }

 private:
  Clock::time_point end;
};
