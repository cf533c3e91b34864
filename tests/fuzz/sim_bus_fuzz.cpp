// SPDX-License-Identifier: MIT
// The simulator's side of the virtual USB bus and its control commands, as a host reaches them:
// the input is the byte stream one host connection sends (bus messages, USB packets of reader
// frames, control command lines), written to a running simulator's socket and closed.
//
// Checked: the simulator never crashes or leaks, ends the connection once the stream ends, and
// every control answer is "ok..." or a one-line "error ...", a listing announcing exactly the
// lines that follow. Between inputs every reader is plugged in again with one card in its field,
// its faults and log cleared.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Simulator.h"
#include "sim/bus/Message.h"
#include "sim/bus/UnixSocket.h"
#include "support/Fuzz.h"
#include "support/HostStream.h"

namespace {

using namespace std::chrono_literals;

struct Bench {
  std::string directory;
  std::unique_ptr<norvexsim::Simulator> sim;

  Bench() {
    std::string pattern = (std::filesystem::temp_directory_path() / "simfuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    directory = pattern;
    norvexsim::BusLimits limits;
    limits.stallTimeout = 1000ms;
    sim = std::make_unique<norvexsim::Simulator>(directory + "/bus.sock", limits);
    sim->addReader();
    sim->addReader(0x0120);
  }
  ~Bench() {
    sim.reset();
    std::filesystem::remove_all(directory);
  }

  void reset() {
    for (int reader = 0; reader < sim->readerCount(); ++reader) {
      sim->replug(reader);
      sim->clearFaults(reader);
      sim->clearLog(reader);
      sim->removeAllCards(reader);
      sim->placeCard(reader, "classic1k:uid=0102030" + std::to_string(reader % 10));
    }
  }
};

void checkControlAnswer(const std::string& answer) {
  if (answer.rfind("error ", 0) == 0) {
    FUZZ_CHECK(answer.find('\n') == std::string::npos);
    return;
  }
  FUZZ_CHECK(answer.rfind("ok", 0) == 0);
  const size_t firstEnd = answer.find('\n');
  if (firstEnd == std::string::npos) return;
  const unsigned long announced = std::strtoul(answer.c_str() + 3, nullptr, 10);
  size_t following = 0;
  for (size_t at = firstEnd; at != std::string::npos; at = answer.find('\n', at + 1)) ++following;
  FUZZ_CHECK(following == announced);
}

void checkReplies(const std::vector<uint8_t>& bytes) {
  size_t at = 0;
  while (at + norvexsim::bus::kHeaderSize <= bytes.size()) {
    const size_t length = norvexsim::bus::PayloadLength(&bytes[at]);
    const uint8_t type = bytes[at];
    at += norvexsim::bus::kHeaderSize;
    FUZZ_CHECK(at + length <= bytes.size());  // replies are written whole
    if (type == norvexsim::bus::kControl) {
      checkControlAnswer(std::string(bytes.begin() + at, bytes.begin() + at + length));
    }
    at += length;
  }
  FUZZ_CHECK(at == bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // "freeze" stops the bus on purpose for as long as it is told, stalls included, and outlives the
  // input that sent it: a stall would be no finding, so such inputs are passed over.
  static constexpr std::string_view kFreeze = "freeze";
  if (std::search(data, data + size, kFreeze.begin(), kFreeze.end()) != data + size) return 0;
  static Bench bench;
  bench.reset();
  norvexsim::Fd host = norvexsim::connectUnix(bench.sim->socketPath(), 2000ms);
  FUZZ_CHECK(host.valid());
  // Far above what the simulator may take with the bench's limits (a message or a reply stalled
  // for 1 s ends the connection; delayed or trickled replies end with the host's stream).
  const auto conversation = fuzzhost::converse(host.get(), {data, size}, 5000ms);
  FUZZ_CHECK(!conversation.stalled);  // the simulator answers or ends the connection in time
  checkReplies(conversation.received);
  return 0;
}
