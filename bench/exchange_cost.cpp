// SPDX-License-Identifier: MIT
// The library's own cost of a reader exchange and of a connection, against a norvex-sim running in
// another process (NORVEX_SIMULATOR names its socket), so that no simulator thread shares the
// process. scripts/exchange-cost.sh starts the simulator and runs this program natively for wall
// times and under callgrind for instruction counts:
//
//   norvex_exchange_cost exchanges N   N GetFWVersion exchanges after one for warming up: wall time
//                                      and heap allocations of the calling thread per exchange
//   norvex_exchange_cost connect N     N times CreateSession, ConnectReader and the first exchange:
//                                      wall time of ConnectReader and of the first exchange
//
// The measured work runs in the functions MeasuredExchanges and MeasuredConnect, for callgrind's
// --toggle-collect. Exits 1 when a call failed.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/AllocationCounter.h"
#include "norvexapi.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kProductId = 0x0110;

double Microseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

long Connect(void* session) {
  char name[] = "USB_0";
  return ConnectReader(session, NORVEX_INTERFACE_USB, name, kProductId);
}

long FirmwareVersion(void* session) {
  uint8_t version[64];
  uint8_t length = sizeof version;
  return GetFWVersion(session, version, &length);
}

// Kept out of line so that callgrind can count exactly the measured exchanges.
[[gnu::noinline]] long MeasuredExchanges(void* session, long count) {
  long failures = 0;
  for (long i = 0; i < count; ++i) failures += FirmwareVersion(session) != 0;
  return failures;
}

int Exchanges(long count) {
  void* session = CreateSession();
  if (Connect(session) != 0 || FirmwareVersion(session) != 0) {
    std::fprintf(stderr, "no reader: start norvex-sim and set NORVEX_SIMULATOR\n");
    ReleaseSession(session);
    return 1;
  }
  const auto start = Clock::now();
  const AllocationCount allocations;
  const long failures = MeasuredExchanges(session, count);
  const double allocated = static_cast<double>(allocations.Allocations());
  const double wall = Microseconds(Clock::now() - start);
  ReleaseSession(session);
  std::printf("exchanges %ld wall_us_per_exchange %.1f allocs_per_exchange %.3f failures %ld\n",
              count, wall / static_cast<double>(count), allocated / static_cast<double>(count),
              failures);
  return failures == 0 ? 0 : 1;
}

struct ConnectTimes {
  double connectUs = 0;
  double firstExchangeUs = 0;
};

// One session from creation to its first answer; the session is released outside the count.
[[gnu::noinline]] long MeasuredConnect(void* session, ConnectTimes& times) {
  const auto start = Clock::now();
  const long connected = Connect(session);
  const auto open = Clock::now();
  const long answered = connected == 0 ? FirmwareVersion(session) : connected;
  times.connectUs += Microseconds(open - start);
  times.firstExchangeUs += Microseconds(Clock::now() - open);
  return answered;
}

int Connects(long count) {
  ConnectTimes times;
  long failures = 0;
  for (long i = 0; i < count; ++i) {
    void* session = CreateSession();
    failures += MeasuredConnect(session, times) != 0;
    ReleaseSession(session);
  }
  const double n = static_cast<double>(count);
  std::printf("connects %ld connect_us %.1f first_exchange_us %.1f failures %ld\n", count,
              times.connectUs / n, times.firstExchangeUs / n, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (count > 0 && std::strcmp(argv[1], "exchanges") == 0) return Exchanges(count);
  if (count > 0 && std::strcmp(argv[1], "connect") == 0) return Connects(count);
  std::fprintf(stderr, "usage: norvex_exchange_cost exchanges|connect N\n");
  return 2;
}
