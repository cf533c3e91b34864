// One reader instruction through the whole stack (flat API, command set, framing, HIDUSB, virtual
// bus) against the in-process simulator. Reports the wall time of a round trip and the library's
// own CPU time per exchange: the calling thread runs only library code, the simulator answers on
// its own threads.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <memory>
#include <string>

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

class SimulatedReader {
 public:
  SimulatedReader() {
    char pattern[] = "/tmp/norvex-bench-XXXXXX";
    directory_ = mkdtemp(pattern);
    simulator_ = std::make_unique<norvexsim::Simulator>(directory_ + "/bus");
    simulator_->addReader(0x0110);
    setenv("NORVEX_SIMULATOR", simulator_->socketPath().c_str(), 1);
    session_ = CreateSession();
    char name[] = "USB_0";
    status_ = ConnectReader(session_, 4, name, 0x0110);
  }
  ~SimulatedReader() {
    ReleaseSession(session_);
    simulator_.reset();
    std::filesystem::remove_all(directory_);
  }
  void* session() const { return session_; }
  long status() const { return status_; }

 private:
  std::string directory_;
  std::unique_ptr<norvexsim::Simulator> simulator_;
  void* session_ = nullptr;
  long status_ = 0;
};

void BM_FirmwareVersionRoundTrip(benchmark::State& state) {
  SimulatedReader reader;
  if (reader.status() != 0) {
    state.SkipWithError("connect failed");
    return;
  }
  uint8_t version[64];
  const ThreadCpu start = ThreadCpu::Now();
  for (auto _ : state) {
    uint8_t length = sizeof version;
    if (GetFWVersion(reader.session(), version, &length) != 0) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  const ThreadCpu end = ThreadCpu::Now();
  const double perExchange = 1e6 / static_cast<double>(state.iterations());
  state.counters["user_us_per_exchange"] = (end.user - start.user) * perExchange;
  state.counters["kernel_us_per_exchange"] = (end.system - start.system) * perExchange;
}
BENCHMARK(BM_FirmwareVersionRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
