// SPDX-License-Identifier: MIT
// Loading a key file: parsing every line and dropping repeats, then merging the keys behind the
// default ones, as `norvex classic dump -k` and the explorer do before the card is touched.
//
// BM_LoadKeyFile/N loads a file of N bytes of distinct keys (13 bytes a line) up to the 4 MiB
// limit, about 322,000 keys; the fitted complexity shows the load growing linearly with the file,
// and the time at 4 MiB is the figure to hold under one second.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dump/KeyFile.h"

namespace {

constexpr std::size_t kMaxKeyFileBytes = 4 << 20;
constexpr std::size_t kLineBytes = 13;  // 12 hex digits and the line end

// Distinct keys, spread over all six bytes so that no prefix repeats for long.
std::string keyFileText(std::size_t bytes) {
  std::string text;
  text.reserve(bytes);
  char line[kLineBytes + 1];
  for (uint64_t n = 0; text.size() + kLineBytes <= bytes; ++n) {
    const uint64_t key = (n * 0x9E3779B97F4Bull) & 0xFFFFFFFFFFFFull;
    std::snprintf(line, sizeof line, "%012llX\n", static_cast<unsigned long long>(key));
    text += line;
  }
  return text;
}

void BM_LoadKeyFile(benchmark::State& state) {
  const std::string text = keyFileText(static_cast<std::size_t>(state.range(0)));
  const std::vector<norvex::dump::Key> defaults = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                                   {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}};
  std::size_t keys = 0;
  for (auto _ : state) {
    norvex::dump::KeyList list = norvex::dump::parseKeyFile(text);
    std::vector<norvex::dump::Key> candidates = defaults;
    norvex::dump::appendNewKeys(candidates, list.keys);
    keys = candidates.size();
    benchmark::DoNotOptimize(candidates.data());
  }
  if (keys != text.size() / kLineBytes + defaults.size())
    state.SkipWithError("keys were lost or repeated");
  state.counters["keys"] = static_cast<double>(keys);
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadKeyFile)
    ->RangeMultiplier(4)
    ->Range(kMaxKeyFileBytes / 64, kMaxKeyFileBytes)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
