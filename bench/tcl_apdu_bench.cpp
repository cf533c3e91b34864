// SPDX-License-Identifier: MIT
// One APDU to a simulated ISO 14443-4 card through the whole stack (flat API, block protocol,
// command set, framing, HIDUSB, virtual bus). Reports the wall time of an APDU round trip, the
// library's CPU time per APDU, and from the simulator's instruction log the reader instructions and
// USB packets (32 bytes; a frame carries 7 bytes of framing around its data) per APDU.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/BenchReader.h"
#include "norvexapi.h"
#include "sim/Simulator.h"

namespace {

constexpr size_t kPacketSize = 32;
constexpr size_t kFrameOverhead = 7;

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec * 1e-6;
}

size_t Packets(size_t dataLength) {
  return (dataLength + kFrameOverhead + kPacketSize - 1) / kPacketSize;
}

class ActivatedCard : public BenchReader {
 public:
  ActivatedCard() {
    if (status_ != 0) return;
    try {
      simulator().placeCard(reader(), "iso14443-4");
    } catch (const std::exception&) {
      status_ = -1;
      return;
    }
    uint8_t ats[64];
    uint16_t atsLen = sizeof ats;
    status_ = Request_ATS(session(), 0x80, &atsLen, ats);  // FSD 256
  }
};

// state.range(0): APDU length; the card answers every APDU (SELECT of the master file with that
// many bytes of data field ignored by the length check) with at least its status word.
void BM_ApduRoundTrip(benchmark::State& state) {
  ActivatedCard card;
  if (card.status() != 0) {
    state.SkipWithError("no activated iso14443-4 card in the simulator");
    return;
  }
  // SELECT MF by file identifier 3F00, padded to the wanted length with further APDUs' worth of
  // data: the block protocol chains it whatever the card makes of it.
  std::vector<uint8_t> apdu{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
  apdu.resize(static_cast<size_t>(state.range(0)), 0x00);
  uint8_t blockNumber = 0;
  uint8_t resp[512];
  const auto transmit = [&] {
    uint16_t respLen = sizeof resp;
    return Send_Raw_APDU(card.session(), &blockNumber, 256, apdu.data(),
                         static_cast<uint16_t>(apdu.size()), resp, &respLen, 1000);
  };
  const double start = ThreadCpuSeconds();
  for (auto _ : state) {
    if (transmit() != 0) {
      state.SkipWithError("APDU failed");
      return;
    }
  }
  state.counters["library_cpu_us_per_apdu"] =
      (ThreadCpuSeconds() - start) * 1e6 / static_cast<double>(state.iterations());

  // Traffic of a few more APDUs, counted on the instruction log (which keeps only recent entries).
  constexpr int kCounted = 10;
  card.simulator().clearLog(card.reader());
  for (int i = 0; i < kCounted; ++i) transmit();
  size_t instructions = 0, packetsOut = 0, packetsIn = 0;
  for (const auto& entry : card.simulator().log(card.reader())) {
    ++instructions;
    packetsOut += Packets(entry.params.size());
    packetsIn += Packets(entry.reply.size());
  }
  state.counters["instructions_per_apdu"] = static_cast<double>(instructions) / kCounted;
  state.counters["usb_packets_out_per_apdu"] = static_cast<double>(packetsOut) / kCounted;
  state.counters["usb_packets_in_per_apdu"] = static_cast<double>(packetsIn) / kCounted;
}
BENCHMARK(BM_ApduRoundTrip)->Arg(7)->Arg(261)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
