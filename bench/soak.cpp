// SPDX-License-Identifier: MIT
// Load figures as one repeatable run against the in-process simulator: connect cycles on one
// reader, then exchanges on two readers from two threads at once. Resident memory is taken after a
// warm-up, after the connect cycles and after the exchanges; open descriptors before the simulator
// starts and after it has stopped (while it runs, it holds the sockets of connections it has not
// reaped yet). Prints one line of figures; exits 1 when a call failed or descriptors were left
// open.
//
//   NORVEX_SOAK_CONNECTS   connect cycles (default 10000)
//   NORVEX_SOAK_EXCHANGES  exchanges in all, shared by the two threads (default 100000)

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "norvexapi.h"
#include "sim/Simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kProductId = 0x0110;

long CountFromEnvironment(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return (*end == '\0' && value >= 0) ? value : fallback;
}

long ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors() {
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return -1;
  while (const dirent* entry = readdir(fds)) count += entry->d_name[0] != '.';
  closedir(fds);
  return count - 1;  // the directory being read
}

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

long ConnectTo(void* session, int index) {
  std::string name = "USB_" + std::to_string(index);
  return ConnectReader(session, NORVEX_INTERFACE_USB, name.data(), kProductId);
}

long ConnectCycles(long cycles) {
  long failures = 0;
  for (long i = 0; i < cycles; ++i) {
    void* session = CreateSession();
    failures += ConnectTo(session, 0) != 0;
    ReleaseSession(session);
  }
  return failures;
}

// Each thread holds its own session on its own reader.
void Exchanges(int reader, long count, std::atomic<long>& failures) {
  void* session = CreateSession();
  if (ConnectTo(session, reader) != 0) {
    failures += count;
  } else {
    uint8_t version[64];
    for (long i = 0; i < count; ++i) {
      uint8_t length = sizeof version;
      failures += GetFWVersion(session, version, &length) != 0;
    }
  }
  ReleaseSession(session);
}

}  // namespace

int main() {
  const long connects = CountFromEnvironment("NORVEX_SOAK_CONNECTS", 10000);
  const long exchanges = CountFromEnvironment("NORVEX_SOAK_EXCHANGES", 100000);

  char pattern[] = "/tmp/norvex-soak-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 2;
  const std::string directory = pattern;
  long connectFailures = 0;
  std::atomic<long> exchangeFailures{0};
  long rssBefore = 0, rssAfterConnects = 0, rssAfter = 0;
  Clock::duration connectTime{}, exchangeTime{};
  const int fdsBefore = OpenDescriptors();
  {
    norvexsim::Simulator simulator(directory + "/bus");
    simulator.addReader(kProductId);
    simulator.addReader(kProductId);
    setenv("NORVEX_SIMULATOR", simulator.socketPath().c_str(), 1);

    // A few rounds first, so that what is set up once is not counted as growth.
    ConnectCycles(10);
    std::atomic<long> warmUp{0};
    Exchanges(0, 10, warmUp);
    rssBefore = ResidentKilobytes();

    auto start = Clock::now();
    connectFailures = ConnectCycles(connects);
    connectTime = Clock::now() - start;
    rssAfterConnects = ResidentKilobytes();

    start = Clock::now();
    std::thread first(Exchanges, 0, exchanges / 2, std::ref(exchangeFailures));
    std::thread second(Exchanges, 1, exchanges - exchanges / 2, std::ref(exchangeFailures));
    first.join();
    second.join();
    exchangeTime = Clock::now() - start;
    rssAfter = ResidentKilobytes();
  }
  std::filesystem::remove_all(directory);
  const int fdsAfter = OpenDescriptors();

  std::printf(
      "soak connects=%ld connect_failures=%ld connect_ms_each=%.3f exchanges=%ld "
      "exchange_failures=%ld exchanges_per_s=%.0f rss_kb_before=%ld rss_kb_after_connects=%ld "
      "rss_kb_after=%ld fds_before=%d fds_after=%d\n",
      connects, connectFailures, connects > 0 ? 1e3 * Seconds(connectTime) / connects : 0.0,
      exchanges, exchangeFailures.load(),
      Seconds(exchangeTime) > 0 ? exchanges / Seconds(exchangeTime) : 0.0, rssBefore,
      rssAfterConnects, rssAfter, fdsBefore, fdsAfter);
  const bool clean = connectFailures == 0 && exchangeFailures == 0 && fdsAfter <= fdsBefore;
  return clean ? 0 : 1;
}
