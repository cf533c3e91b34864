// SPDX-License-Identifier: MIT
// A DESFire file's life against the simulated card through the whole stack: create a 1 KiB
// enciphered standard file, write it and read it back, in a freshly formatted card's application
// authenticated with a two-key triple-DES key. Reports the wall time per iteration and the
// reader instructions it took (from the simulator's instruction log).

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchReader.h"
#include "norvexapi.h"

namespace {

constexpr unsigned kAid = 0x00BE01;
constexpr uint8_t kFile = 1;
constexpr int kFileSize = 1024;
const tag_des_key kPiccKey{{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF},
                           {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};

class DesfireApplication : public BenchReader {
 public:
  DesfireApplication() {
    if (status_ != 0) return;
    simulator().placeCard(reader(), "desfire:key=0123456789ABCDEFFEDCBA9876543210");
    status_ = DF_Connect(session());
  }
  // A freshly formatted card holding the application, authenticated with its key (deleting a
  // file does not give its memory back; formatting does).
  long Reset() {
    tag_des_key sessionKey{};
    const tag_des_key zero{};
    const std::function<long()> steps[] = {
        [&] { return DF_SelectApp(session(), 0); },
        [&] { return DF_AuthKey(session(), 0, &kPiccKey, &sessionKey); },
        [&] { return DF_FormatCard(session()); },
        [&] { return DF_CreateApp(session(), kAid, 0x0F, 1); },
        [&] { return DF_SelectApp(session(), kAid); },
        [&] { return DF_AuthKey(session(), 0, &zero, &sessionKey); },
        [&] { return DF_ChangeCurKey(session(), 0, kPiccKey.K1, &sessionKey); },
        [&] { return DF_AuthKey(session(), 0, &kPiccKey, &sessionKey_); },
    };
    for (const auto& step : steps)
      if (long status = step()) return status;
    return 0;
  }
  const tag_des_key* sessionKey() const { return &sessionKey_; }

 private:
  tag_des_key sessionKey_{};
};

void BM_EncipheredFileCreateWriteRead(benchmark::State& state) {
  DesfireApplication app;
  if (app.status() != 0) {
    state.SkipWithError("no DESFire application on the simulated card");
    return;
  }
  const tag_file_acl acl{0, 0, 0, 0};
  std::vector<uint8_t> data(kFileSize), back(kFileSize);
  for (int i = 0; i < kFileSize; ++i) data[i] = static_cast<uint8_t>(i * 7);
  size_t instructions = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (long status = app.Reset()) {
      state.SkipWithError(("no application: " + std::to_string(status)).c_str());
      return;
    }
    app.simulator().clearLog(app.reader());
    state.ResumeTiming();
    unsigned length = kFileSize;
    long status = DF_CreateStdFile(app.session(), kFile, COMM_ENCIPHERED, &acl, kFileSize);
    if (status == 0)
      status = DF_WriteData(app.session(), kFile, COMM_ENCIPHERED, 0, kFileSize, data.data(),
                            app.sessionKey());
    if (status == 0)
      status = DF_ReadData(app.session(), kFile, COMM_ENCIPHERED, 0, &length, back.data(),
                           app.sessionKey());
    if (status != 0 || back != data) {
      state.SkipWithError(("create, write or read back failed: " + std::to_string(status)).c_str());
      return;
    }
    state.PauseTiming();
    instructions = app.simulator().log(app.reader()).size();
    state.ResumeTiming();
  }
  state.counters["instructions"] = static_cast<double>(instructions);
}
BENCHMARK(BM_EncipheredFileCreateWriteRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
