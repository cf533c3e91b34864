// One reader instruction through the whole stack (flat API, command set, framing, HIDUSB, virtual
// bus) against the in-process simulator. Reports the wall time of a round trip and the library's
// own CPU time per exchange: the calling thread runs only library code, the simulator answers on
// its own threads.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <memory>
#include <string>

#include "norvexapi.h"
#include "sim/Simulator.h"

namespace {

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

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
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    uint8_t length = sizeof version;
    if (GetFWVersion(reader.session(), version, &length) != 0) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  const double cpu = ThreadCpuSeconds() - cpuStart;
  state.counters["library_cpu_us_per_exchange"] =
      benchmark::Counter(cpu * 1e6 / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FirmwareVersionRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
