#pragma once
// A connected session on an in-process simulated reader, for the Mifare Classic tests: a fresh
// temporary directory holds the simulator's socket, NORVEX_SIMULATOR points at it, and the session
// is connected to the first USB reader.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "norvexapi.h"
#include "sim/Simulator.h"

namespace mifare_test {

using Bytes = std::vector<uint8_t>;
using Block = std::array<uint8_t, 16>;

// Reader instruction codes seen in the instruction log.
constexpr uint8_t kRequest = 0x11;
constexpr uint8_t kAnticollision = 0x12;
constexpr uint8_t kSelect = 0x13;
constexpr uint8_t kAuthenticate = 0x18;
constexpr uint8_t kRead = 0x19;
constexpr uint8_t kWrite = 0x1A;

// Factory-state key of every sector, used as key A and key B.
inline _MIF_KEY_ TransportKey(uint8_t type = MIF_KEY_TYPE_A) {
  return _MIF_KEY_{type, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
}

inline _MIF_KEY_ MakeKey(uint8_t type, std::array<uint8_t, 6> value) {
  _MIF_KEY_ key{type, {}};
  std::copy(value.begin(), value.end(), key.KeyValue);
  return key;
}

// Sixteen bytes of a recognisable pattern for a block.
inline Block PatternBlock(unsigned block, uint8_t salt) {
  Block data{};
  for (unsigned i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(block * 7 + i * 13 + salt);
  return data;
}

// The pattern for a run of consecutive blocks.
inline Bytes PatternBlocks(unsigned firstBlock, unsigned count, uint8_t salt) {
  Bytes bytes;
  for (unsigned b = 0; b < count; ++b) {
    const Block block = PatternBlock(firstBlock + b, salt);
    bytes.insert(bytes.end(), block.begin(), block.end());
  }
  return bytes;
}

class SimulatedReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvex-mifc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    simulator_ = std::make_unique<norvexsim::Simulator>(directory_ + "/reader.sock");
    reader_ = simulator_->addReader();
    ASSERT_EQ(setenv("NORVEX_SIMULATOR", simulator_->socketPath().c_str(), 1), 0);
    session_ = CreateSession();
    ASSERT_NE(session_, nullptr);
    char name[] = "USB_0";
    ASSERT_EQ(ConnectReader(session_, NORVEX_INTERFACE_USB, name, 0x0110), 0);
  }

  void TearDown() override {
    if (session_ != nullptr) ReleaseSession(session_);
    simulator_.reset();
    unsetenv("NORVEX_SIMULATOR");
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  Bytes Place(const std::string& spec) { return simulator_->placeCard(reader_, spec); }

  // Places a card and selects it, as the authenticating forms expect.
  Bytes PlaceSelected(const std::string& spec) {
    const Bytes uid = Place(spec);
    uint8_t selected[4] = {};
    EXPECT_EQ(MifC_GetCard(session_, selected), 0);
    return uid;
  }
  Bytes Memory(const Bytes& uid) const { return simulator_->cardMemory(reader_, uid); }

  // The 16 bytes of one block as the card holds them.
  Block MemoryBlock(const Bytes& uid, unsigned block) const {
    const Bytes memory = Memory(uid);
    Block data{};
    std::copy_n(memory.begin() + 16 * block, 16, data.begin());
    return data;
  }

  // The bytes of consecutive blocks as the card holds them.
  Bytes MemoryBlocks(const Bytes& uid, unsigned firstBlock, unsigned count) const {
    const Bytes memory = Memory(uid);
    return Bytes(memory.begin() + 16 * firstBlock, memory.begin() + 16 * (firstBlock + count));
  }

  std::vector<norvexsim::LogEntry> Log() const { return simulator_->log(reader_); }
  void ClearLog() { simulator_->clearLog(reader_); }

  // Instruction codes of the logged exchanges, oldest first.
  Bytes LoggedInstructions() const {
    Bytes codes;
    for (const auto& entry : Log()) codes.push_back(entry.instruction);
    return codes;
  }

  // Block numbers of the logged instructions with this code (the block is their first parameter,
  // or the last one for an authentication).
  Bytes LoggedBlocks(uint8_t instruction) const {
    Bytes blocks;
    for (const auto& entry : Log()) {
      if (entry.instruction != instruction || entry.params.empty()) continue;
      blocks.push_back(instruction == kAuthenticate ? entry.params.back() : entry.params.front());
    }
    return blocks;
  }

  // Selects the card and authenticates a sector with the plain building blocks.
  long SelectAndAuthenticate(const _MIF_KEY_& key, uint8_t sector) {
    uint8_t uid[4] = {};
    if (long status = MifC_GetCard(session_, uid)) return status;
    return MifC_AuthSector(session_, &key, uid, sector);
  }

  std::string directory_;
  std::unique_ptr<norvexsim::Simulator> simulator_;
  int reader_ = 0;
  void* session_ = nullptr;
};

}  // namespace mifare_test
