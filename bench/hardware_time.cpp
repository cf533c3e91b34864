// SPDX-License-Identifier: MIT
// Whole card operations in modelled hardware time: what each would take on a real reader and card
// (the simulator's timing model), against its physical lower bound (sim/timing/PhysicalBound.h).
// The dumps and the restore run the norvex command-line tool against the in-process simulator,
// so they include its start and the reader connection; the other rows call the library directly
// on a card already activated. Prints one table; the wall column shows that the accounting mode
// adds no waiting. Exits 1 when an operation failed. NORVEX_HWBENCH_LOG=1 prints each operation's
// instruction log after its row.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchReader.h"
#include "norvexapi.h"
#include "sim/Simulator.h"
#include "sim/timing/AirTime.h"
#include "sim/timing/PhysicalBound.h"

namespace {

namespace tm = norvexsim::timing;

constexpr unsigned kAid = 0x00AE01;
constexpr uint8_t kFile = 1;
constexpr int kFileSize = 1024;
constexpr size_t kNtag216Pages = 231;
constexpr size_t kFastReadPages = 60;
constexpr double kDesfireCommandUs = 1000.0;  // the simulated card's command and crypto times
constexpr double kDesfireCryptoUs = 2000.0;
constexpr double kBlockAckUs = 500.0;

struct Row {
  std::string name;
  int reader = 0;
  std::vector<tm::BoundStep> bound;
  std::function<bool(BenchReader&)> setUp;
  std::function<bool(BenchReader&)> run;
};

// A temporary directory for the dump files, removed at exit.
struct Scratch {
  std::string path;
  Scratch() {
    char pattern[] = "/tmp/norvex-hwbench-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

const Scratch& scratch() {
  static const Scratch directory;
  return directory;
}

// The in-process session holds reader 0 open: the command-line tool works on reader 1.
bool cli(const std::string& args) {
  const std::string command =
      std::string(NORVEX_CLI_PATH) + " " + args + " --reader USB_1 >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

bool placeCard(BenchReader& bench, const std::string& kind, int reader = 0) {
  bench.simulator().removeAllCards(reader);
  bench.simulator().placeCard(reader, kind);
  return true;
}

// A DESFire EV1 application with an AES key 0 and a 1 KiB enciphered standard file, selected and
// authenticated as the measured part leaves it.
bool desfireFile(BenchReader& bench) {
  static const uint8_t desZero[8] = {}, aesZero[16] = {};
  const tag_file_acl acl{0, 0, 0, 0};
  void* s = bench.session();
  placeCard(bench, "desfire");
  return DF_ConnectFrames(s, 8) == 0 && DF_SelectApp(s, 0) == 0 &&
         DF_AuthenticateEV1(s, 0, DF_KEY_DES, desZero, 8) == 0 && DF_FormatCard(s) == 0 &&
         DF_CreateAppEV1(s, kAid, 0x0F, 1, DF_KEY_AES, nullptr, nullptr, 0) == 0 &&
         DF_SelectApp(s, kAid) == 0 && DF_AuthenticateEV1(s, 0, DF_KEY_AES, aesZero, 16) == 0 &&
         DF_CreateStdFile(s, kFile, COMM_ENCIPHERED, &acl, kFileSize) == 0;
}

bool desfireWriteRead(BenchReader& bench) {
  static const uint8_t aesZero[16] = {};
  std::vector<uint8_t> data(kFileSize), back(kFileSize);
  for (int i = 0; i < kFileSize; ++i) data[i] = static_cast<uint8_t>(i * 7);
  unsigned length = kFileSize;
  void* s = bench.session();
  return DF_SelectApp(s, kAid) == 0 && DF_AuthenticateEV1(s, 0, DF_KEY_AES, aesZero, 16) == 0 &&
         DF_WriteDataEV1(s, kFile, COMM_ENCIPHERED, 0, kFileSize, data.data()) == 0 &&
         DF_ReadDataEV1(s, kFile, COMM_ENCIPHERED, 0, &length, back.data()) == 0 && back == data;
}

// Select application, AES authentication (two frames), the enciphered write (command header,
// data, CRC32 and padding: 1048 bytes) in the card's native frames of at most 60 bytes, and the
// read back in its 59-byte answer parts; every native frame fits one I-block of the card's 64.
std::vector<tm::BoundStep> desfireBound() {
  constexpr size_t kFsc = 64, kWire = 1048, kEnciphered = 1040, kFrame = 60, kPart = 59, kMac = 8;
  std::vector<tm::BoundStep> steps;
  auto add = [&](size_t command, size_t answer, double cardUs) {
    for (const auto& step : tm::tclCommandSteps(command, answer, kFsc, kBlockAckUs, cardUs)) {
      steps.push_back(step);
    }
  };
  add(4, 1, kDesfireCommandUs);
  add(2, 17, kDesfireCryptoUs);
  add(33, 17, kDesfireCryptoUs);
  add(kFrame, 1, kDesfireCryptoUs);
  for (size_t sent = kFrame; sent < kWire; sent += kPart) {
    const bool last = sent + kPart >= kWire;
    add(1 + std::min(kPart, kWire - sent), last ? 1 + kMac : 1, kDesfireCryptoUs);
  }
  for (size_t read = 0; read < kEnciphered; read += kPart) {
    add(read == 0 ? 8 : 1, 1 + std::min(kPart, kEnciphered - read), kDesfireCryptoUs);
  }
  return steps;
}

uint8_t tclBlockNumber = 0;  // the card's session lasts from one APDU to the next

std::function<bool(BenchReader&)> apdu(size_t length) {
  return [length](BenchReader& bench) {
    std::vector<uint8_t> command{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
    command.resize(length, 0x00);
    uint8_t answer[512];
    uint16_t answerLength = sizeof answer;
    return Send_Raw_APDU(bench.session(), &tclBlockNumber, 256, command.data(),
                         static_cast<uint16_t>(command.size()), answer, &answerLength, 1000) == 0;
  };
}

// An activated card that has had one APDU: the rows show an APDU in a running session.
bool activatedTcl(BenchReader& bench) {
  placeCard(bench, "iso14443-4");
  tclBlockNumber = 0;
  uint8_t ats[64];
  uint16_t atsLength = sizeof ats;
  return Request_ATS(bench.session(), 0x80, &atsLength, ats) == 0 && apdu(7)(bench);  // FSD 256
}

std::function<bool(BenchReader&)> ntagRead(bool fast) {
  return [fast](BenchReader& bench) {
    std::vector<uint8_t> pages(kNtag216Pages * 4 + 12);
    if (fast) return MifU_FastRead(bench.session(), 0, kNtag216Pages - 1, pages.data()) == 0;
    for (size_t page = 0; page < kNtag216Pages; page += 4) {
      if (MifU_Read16Bytes(bench.session(), static_cast<uint8_t>(page), &pages[page * 4]) != 0) {
        return false;
      }
    }
    return true;
  };
}

// REQB, ATTRIB with the reader's 256-byte frames, and a 7-byte APDU to the type B card.
bool typeBSession(BenchReader& bench) {
  uint8_t atqb[16];
  uint16_t atqbLength = sizeof atqb;
  if (TypeB_RequestIdle(bench.session(), 0x00, 0x00, atqb, &atqbLength) != 0 || atqbLength != 12)
    return false;
  uint8_t p5 = 0x00, p6 = 0, higherLayerLength = 0, higherLayer[1];
  tclBlockNumber = 0;
  return TypeB_Attrib(bench.session(), atqb + 1, 0x08, 0x01, 0x00, &p5, &p6, &higherLayerLength,
                      higherLayer) == 0 &&
         apdu(7)(bench);
}

std::vector<tm::BoundStep> typeBBound() {
  auto steps = tm::typeBActivationSteps();
  for (const auto& step : tm::tclCommandSteps(7, 2, 256, kBlockAckUs, kDesfireCommandUs, true))
    steps.push_back(step);
  return steps;
}

bool ntagInField(BenchReader& bench) {
  placeCard(bench, "ntag216");
  uint8_t uid[10];
  return MifU_GetCard(bench.session(), uid) == 0;
}

std::vector<tm::BoundStep> ntagBound() {
  auto steps = tm::type2ReadSteps(kNtag216Pages, kFastReadPages);
  steps.erase(steps.begin());  // the tag is active already
  return steps;
}

// A message of n bytes (n >= 6) in one record of unknown type, in hex for the simulator's ndef=.
std::string ndefMessageHex(size_t n) {
  char header[13];
  std::snprintf(header, sizeof header, "C500%08zX", n - 6);
  std::string hex = header;
  hex.resize(2 * n, 'A');
  return hex;
}

// An NDEF tag filled by its message, read whole through NDEF_ReadTag (activation included).
std::function<bool(BenchReader&)> ndefTag(const std::string& kind, size_t messageBytes) {
  return [=](BenchReader& bench) {
    return placeCard(bench, kind + ":ndef=" + ndefMessageHex(messageBytes));
  };
}

std::function<bool(BenchReader&)> ndefRead(size_t messageBytes) {
  return [=](BenchReader& bench) {
    std::vector<uint8_t> message(messageBytes);
    auto length = static_cast<uint32_t>(message.size());
    return NDEF_ReadTag(bench.session(), message.data(), &length) == 0 && length == messageBytes;
  };
}

// The capability container page and the data area (pages 3 to 221) of an NTAG216.
std::vector<tm::BoundStep> ntagNdefBound() {
  return tm::type2ReadSteps(219, kFastReadPages);
}

// A 4K card's NDEF message through MAD1 and MAD2: every sector's authentication and blocks as in a
// dump, less the blocks the mapping needs not read (block 0, the trailers of sector 16 and of the
// 38 NDEF sectors).
std::vector<tm::BoundStep> classicNdefBound() {
  auto steps = tm::classicDumpSteps(32, 8);
  for (size_t unread = 40; unread > 0; --unread) {  // the block reads are all alike
    steps.erase(std::find_if(steps.begin(), steps.end(),
                             [](const tm::BoundStep& s) { return s.replyData == 16; }));
  }
  return steps;
}

// A 1K restore writes the 47 data blocks but block 0 and reads each back.
std::vector<tm::BoundStep> restoreBound() {
  auto steps = tm::classicRestoreSteps(16, 0);
  steps.insert(steps.end(), 47, tm::BoundStep{1, 16, tm::readUs(4, 16)});
  return steps;
}

std::vector<Row> rows() {
  const std::string dump1k = scratch().path + "/1k.mfd";
  return {
      {"classic 1K dump, transport keys", 1, tm::classicDumpSteps(16, 0),
       [](BenchReader& b) { return placeCard(b, "classic1k", 1); },
       [=](BenchReader&) { return cli("classic dump -o " + dump1k); }},
      {"classic 4K dump, transport keys", 1, tm::classicDumpSteps(32, 8),
       [](BenchReader& b) { return placeCard(b, "classic4k", 1); },
       [=](BenchReader&) { return cli("classic dump -o " + scratch().path + "/4k.mfd"); }},
      {"classic 1K restore (verified)", 1, restoreBound(),
       [](BenchReader& b) { return placeCard(b, "classic1k", 1); },
       [=](BenchReader&) { return cli("classic restore " + dump1k); }},
      {"NTAG216 CLI dump", 1, tm::type2ReadSteps(kNtag216Pages, kFastReadPages),
       [](BenchReader& b) { return placeCard(b, "ntag216", 1); },
       [=](BenchReader&) { return cli("ultralight dump -o " + scratch().path + "/ntag.bin"); }},
      {"NTAG216 read, READ of 4 pages", 0, ntagBound(), ntagInField, ntagRead(false)},
      {"NTAG216 read, FAST_READ", 0, ntagBound(), ntagInField, ntagRead(true)},
      {"NTAG216 NDEF read, 868-byte message", 0, ntagNdefBound(), ndefTag("ntag216", 868),
       ndefRead(868)},
      {"classic 4K NDEF read, 3356-byte message", 0, classicNdefBound(), ndefTag("classic4k", 3356),
       ndefRead(3356)},
      {"DESFire 1 KiB enciphered write+read", 0, desfireBound(), desfireFile, desfireWriteRead},
      {"APDU 7 bytes", 0, tm::tclCommandSteps(7, 2, 256, kBlockAckUs, kDesfireCommandUs),
       activatedTcl, apdu(7)},
      {"APDU 261 bytes", 0, tm::tclCommandSteps(261, 2, 256, kBlockAckUs, kDesfireCommandUs),
       activatedTcl, apdu(261)},
      {"type B activation and APDU 7 bytes", 0, typeBBound(),
       [](BenchReader& b) { return placeCard(b, "typeb"); }, typeBSession},
  };
}

}  // namespace

int main() {
  BenchReader bench;
  if (bench.status() != 0 || scratch().path.empty()) {
    std::fprintf(stderr, "no simulated reader\n");
    return 1;
  }
  bench.simulator().addReader(0x0110);  // for the command-line tool
  const bool showLog = std::getenv("NORVEX_HWBENCH_LOG") != nullptr;
  int failures = 0;
  std::printf("%-38s %9s %12s %10s %7s %9s\n", "operation", "exchanges", "modelled_ms", "bound_ms",
              "ratio", "wall_ms");
  for (const Row& row : rows()) {
    const bool ready = row.setUp(bench);
    bench.simulator().resetTiming(row.reader);
    bench.simulator().clearLog(row.reader);
    const auto start = std::chrono::steady_clock::now();
    const bool done = ready && row.run(bench);
    const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - start;
    const auto totals = bench.simulator().timing(row.reader);
    const double modelled = static_cast<double>(totals.modelledUs) / 1000.0;
    const double bound = tm::boundUs(row.bound) / 1000.0;
    std::printf("%-38s %9llu %12.1f %10.1f %7.2f %9.1f%s\n", row.name.c_str(),
                static_cast<unsigned long long>(totals.exchanges), modelled, bound,
                modelled / bound, wall.count(), done ? "" : "  FAILED");
    if (!done) ++failures;
    if (showLog) {
      for (const auto& entry : bench.simulator().log(row.reader))
        std::printf("  %s\n", entry.text.c_str());
    }
  }
  return failures == 0 ? 0 : 1;
}
