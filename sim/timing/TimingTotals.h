// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>

namespace norvexsim {

// How the simulator spends the modelled hardware time: accounting only (nothing waits, the log
// and the totals carry the time), or real time (each reply leaves once its modelled time has
// passed, so that wall time follows the model).
enum class TimingMode { kAccounting, kRealTime };

// One reader's exchanges and their modelled time since the last reset.
struct TimingTotals {
  uint64_t exchanges = 0;
  uint64_t modelledUs = 0;
};

}  // namespace norvexsim
