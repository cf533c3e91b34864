// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <chrono>

// The end of one call's time-out. Every transfer the call makes gets what is left of it, so the
// time-out bounds the whole call however many transfers it takes. The count starts when the call
// first asks for the time, which its first transfer does at once: a call that needs no transfer
// never reads the clock, and the first transfer gets the whole time-out without a second reading.
class CallDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CallDeadline(unsigned long ms) : timeoutMs(ms) {}

  // Milliseconds left, rounded up; 0 once the deadline has passed. One clock reading.
  unsigned long LeftMs() {
    const Clock::time_point now = Clock::now();
    if (!started) {
      started = true;
      end = now + std::chrono::milliseconds(timeoutMs);
    }
    if (now >= end) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
    return static_cast<unsigned long>(std::min<long long>(left, 1 << 30));
  }

  bool Passed() { return LeftMs() == 0; }

  // Milliseconds left, at least 1: a transfer whose data is already there still succeeds, and no
  // transfer is ever handed 0, which some layers read as "the default" or "for ever".
  unsigned long RemainingMs() { return std::max(LeftMs(), 1ul); }

 private:
  unsigned long timeoutMs;
  bool started = false;
  Clock::time_point end{};
};
