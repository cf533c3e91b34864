// SPDX-License-Identifier: MIT
// DESFire EV1 under AES against the simulated EV1 card through the whole stack: the AES
// authentication alone (its reader instructions and time), and a 1 KiB enciphered standard file
// written and read back under the AES channel (CMAC and CRC32 on every frame).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/BenchReader.h"
#include "norvexapi.h"

namespace {

constexpr unsigned kAid = 0x00AE01;
constexpr uint8_t kFile = 1;
constexpr int kFileSize = 1024;
const uint8_t kDesZero[8] = {};
const uint8_t kAesZero[16] = {};

// A formatted card holding one application with an AES key.
class AesApplication : public BenchReader {
 public:
  AesApplication() {
    if (status_ != 0) return;
    simulator().placeCard(reader(), "desfire");
    status_ = DF_Connect(session());
  }
  long Reset() {
    const tag_file_acl acl{0, 0, 0, 0};
    if (long status = DF_SelectApp(session(), 0)) return status;
    if (long status = DF_AuthenticateEV1(session(), 0, DF_KEY_DES, kDesZero, 8)) return status;
    if (long status = DF_FormatCard(session())) return status;
    if (long status = DF_CreateAppEV1(session(), kAid, 0x0F, 1, DF_KEY_AES, nullptr, nullptr, 0))
      return status;
    if (long status = DF_SelectApp(session(), kAid)) return status;
    if (long status = DF_AuthenticateEV1(session(), 0, DF_KEY_AES, kAesZero, 16)) return status;
    return DF_CreateStdFile(session(), kFile, COMM_ENCIPHERED, &acl, kFileSize);
  }
};

void BM_Ev1AesAuthentication(benchmark::State& state) {
  AesApplication app;
  if (app.status() != 0 || app.Reset() != 0) {
    state.SkipWithError("no AES application on the simulated card");
    return;
  }
  size_t instructions = 0;
  for (auto _ : state) {
    state.PauseTiming();
    app.simulator().clearLog(app.reader());
    state.ResumeTiming();
    if (long status = DF_AuthenticateEV1(app.session(), 0, DF_KEY_AES, kAesZero, 16)) {
      state.SkipWithError(("authentication failed: " + std::to_string(status)).c_str());
      return;
    }
    state.PauseTiming();
    instructions = app.simulator().log(app.reader()).size();
    state.ResumeTiming();
  }
  state.counters["instructions"] = static_cast<double>(instructions);
}
BENCHMARK(BM_Ev1AesAuthentication)->Unit(benchmark::kMillisecond);

void BM_Ev1AesEncipheredWriteRead(benchmark::State& state) {
  AesApplication app;
  if (app.status() != 0 || app.Reset() != 0) {
    state.SkipWithError("no AES application on the simulated card");
    return;
  }
  std::vector<uint8_t> data(kFileSize), back(kFileSize);
  for (int i = 0; i < kFileSize; ++i) data[i] = static_cast<uint8_t>(i * 7);
  size_t instructions = 0;
  for (auto _ : state) {
    state.PauseTiming();
    app.simulator().clearLog(app.reader());
    state.ResumeTiming();
    unsigned length = kFileSize;
    long status = DF_WriteDataEV1(app.session(), kFile, COMM_ENCIPHERED, 0, kFileSize, data.data());
    if (status == 0)
      status = DF_ReadDataEV1(app.session(), kFile, COMM_ENCIPHERED, 0, &length, back.data());
    if (status != 0 || back != data) {
      state.SkipWithError(("write or read back failed: " + std::to_string(status)).c_str());
      return;
    }
    state.PauseTiming();
    instructions = app.simulator().log(app.reader()).size();
    state.ResumeTiming();
  }
  state.counters["instructions"] = static_cast<double>(instructions);
}
BENCHMARK(BM_Ev1AesEncipheredWriteRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
