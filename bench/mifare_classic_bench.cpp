// SPDX-License-Identifier: MIT
// Reading the whole data of a Mifare Classic 1K and 4K card, sector by sector, through
// MifC_ReadSectorDataAuth against the in-process simulator (one authentication and 3 or 15 block
// reads per sector).
//
// Reported per iteration (one whole card):
//   Time            wall time of the whole card
//   CPU             CPU time of the calling thread: the library side only, since the simulator
//                   serves the virtual bus from its own thread
//   exchanges       reader exchanges counted in the simulator's instruction log (64 and 256)
//   lib_cpu/exch    library CPU time per exchange (CLOCK_THREAD_CPUTIME_ID of the calling thread)
//   lib_sys/exch    the part of it spent in the kernel (socket reads and writes of the virtual bus)
//   wall/exch       wall time per exchange
//   allocs/exch     heap allocations of the calling thread per exchange

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/AllocationCounter.h"
#include "bench/BenchReader.h"
#include "norvexapi.h"
#include "sim/Simulator.h"

namespace {

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Kernel-mode CPU time of the calling thread.
double ThreadSystemSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
}

double WallSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A session connected to a simulated reader with one selected card in its field.
class SimulatedCard : public BenchReader {
 public:
  explicit SimulatedCard(const std::string& kind) {
    if (status() != 0) throw std::runtime_error("ConnectReader");
    uid_ = simulator().placeCard(reader(), kind);
    uint8_t selected[4] = {};
    if (MifC_GetCard(session(), selected) != 0) throw std::runtime_error("MifC_GetCard");
  }

  const uint8_t* uid() const { return uid_.data(); }
  size_t TakeLoggedExchanges() {
    const size_t count = simulator().log(reader()).size();
    simulator().clearLog(reader());
    return count;
  }

 private:
  std::vector<uint8_t> uid_;
};

// Reads every sector's data with key A; returns the first failing status.
long ReadWholeCard(const SimulatedCard& card, unsigned sectors, std::vector<uint8_t>& image) {
  const _MIF_KEY_ key{MIF_KEY_TYPE_A, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  size_t offset = 0;
  for (unsigned s = 0; s < sectors; ++s) {
    uint8_t size = 0;
    MifC_GetSectorDataSize(static_cast<uint8_t>(s), &size);
    if (long status = MifC_ReadSectorDataAuth(card.session(), &key, card.uid(),
                                              image.data() + offset, size, static_cast<uint8_t>(s)))
      return status;
    offset += size;
  }
  return 0;
}

// One authentication per sector and one read per data block: 16 + 48 for a 1K card, 40 + 216 for
// a 4K card. Any other count in the log fails the benchmark.
void BM_ReadWholeCard(benchmark::State& state, const std::string& kind, unsigned sectors,
                      size_t dataBytes, size_t expectedExchanges) {
  SimulatedCard card(kind);
  std::vector<uint8_t> image(dataBytes);
  card.TakeLoggedExchanges();
  size_t exchanges = 0;
  double libraryCpu = 0;
  double librarySystem = 0;
  double wall = 0;
  uint64_t allocations = 0;
  for (auto _ : state) {
    const double cpuStart = ThreadCpuSeconds();
    const double systemStart = ThreadSystemSeconds();
    const double wallStart = WallSeconds();
    long status = 0;
    {
      const AllocationCount count;
      status = ReadWholeCard(card, sectors, image);
      allocations += count.Allocations();
    }
    wall += WallSeconds() - wallStart;
    librarySystem += ThreadSystemSeconds() - systemStart;
    libraryCpu += ThreadCpuSeconds() - cpuStart;
    benchmark::DoNotOptimize(image.data());
    state.PauseTiming();
    exchanges += card.TakeLoggedExchanges();
    state.ResumeTiming();
    if (status != 0) {
      state.SkipWithError(("read failed with status " + std::to_string(status)).c_str());
      break;
    }
  }
  const auto iterations = static_cast<double>(state.iterations());
  const double perCard = static_cast<double>(exchanges) / iterations;
  state.counters["exchanges"] = perCard;
  if (exchanges != expectedExchanges * state.iterations())
    state.SkipWithError("unexpected number of reader exchanges per card");
  state.counters["lib_cpu/exch_us"] = libraryCpu / iterations / perCard * 1e6;
  state.counters["lib_sys/exch_us"] = librarySystem / iterations / perCard * 1e6;
  state.counters["wall/exch_us"] = wall / iterations / perCard * 1e6;
  state.counters["allocs/exch"] = static_cast<double>(allocations) / iterations / perCard;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dataBytes));
}

BENCHMARK_CAPTURE(BM_ReadWholeCard, Classic1K, std::string("classic1k"), 16u, 768, 64)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadWholeCard, Classic4K, std::string("classic4k"), 40u, 3456, 256)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
