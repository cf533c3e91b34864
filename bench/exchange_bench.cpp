// SPDX-License-Identifier: MIT
// One reader instruction through the whole stack (flat API, command set, framing, HIDUSB, virtual
// bus) against the in-process simulator. Reports the wall time of a round trip, the library's own
// CPU time per exchange (the calling thread runs only library code, the simulator answers on its
// own threads) and the heap allocations the calling thread makes per exchange, which should be 0
// once the session has made its first exchange.
//
// BM_FirmwareVersionRoundTrip/iterations:N runs a fixed number of exchanges, for instruction
// counting under callgrind:
//   valgrind --tool=callgrind --toggle-collect=GetFWVersion
//       bench/bench_exchange --benchmark_filter=iterations

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "bench/AllocationCounter.h"
#include "bench/BenchReader.h"
#include "norvexapi.h"
#include "sim/Simulator.h"

namespace {

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// CPU time of the calling thread, split into user (the library's own code) and system (the
// kernel's socket work on its behalf).
struct ThreadCpu {
  double user = 0;
  double system = 0;
  static ThreadCpu Now() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {Seconds(usage.ru_utime), Seconds(usage.ru_stime)};
  }
};

using SimulatedReader = BenchReader;

void BM_FirmwareVersionRoundTrip(benchmark::State& state) {
  SimulatedReader reader;
  if (reader.status() != 0) {
    state.SkipWithError("connect failed");
    return;
  }
  uint8_t version[64];
  // The first exchange of a session may set up what later ones reuse; it is not steady state.
  uint8_t warmUpLength = sizeof version;
  if (GetFWVersion(reader.session(), version, &warmUpLength) != 0) {
    state.SkipWithError("exchange failed");
    return;
  }
  const ThreadCpu start = ThreadCpu::Now();
  const AllocationCount allocations;
  for (auto _ : state) {
    uint8_t length = sizeof version;
    if (GetFWVersion(reader.session(), version, &length) != 0) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  const uint64_t allocated = allocations.Allocations();
  const ThreadCpu end = ThreadCpu::Now();
  const double exchanges = static_cast<double>(state.iterations());
  state.counters["user_us_per_exchange"] = (end.user - start.user) * 1e6 / exchanges;
  state.counters["kernel_us_per_exchange"] = (end.system - start.system) * 1e6 / exchanges;
  state.counters["allocs_per_exchange"] = static_cast<double>(allocated) / exchanges;
}
BENCHMARK(BM_FirmwareVersionRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirmwareVersionRoundTrip)
    ->Iterations(20000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
