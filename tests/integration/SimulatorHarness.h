// SPDX-License-Identifier: MIT
#pragma once
// An in-process simulator on a socket in a fresh temporary directory, with NORVEX_SIMULATOR
// pointing at it for as long as the harness lives; ReaderTest adds a reader and a session connected
// to it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "norvexapi.h"
#include "sim/Simulator.h"

using Bytes = std::vector<uint8_t>;

class SimulatorHarness {
 public:
  SimulatorHarness() {
    char pattern[] = "/tmp/norvex-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory_ = pattern;
    simulator_ = std::make_unique<norvexsim::Simulator>(directory_ + "/bus");
    setenv("NORVEX_SIMULATOR", simulator_->socketPath().c_str(), 1);
  }

  ~SimulatorHarness() {
    simulator_.reset();
    unsetenv("NORVEX_SIMULATOR");
    std::filesystem::remove_all(directory_);
  }

  norvexsim::Simulator* operator->() { return simulator_.get(); }
  const norvexsim::Simulator* operator->() const { return simulator_.get(); }

 private:
  std::string directory_;
  std::unique_ptr<norvexsim::Simulator> simulator_;
};

// Reader instruction codes seen in the instruction log.
constexpr uint8_t kRequest = 0x11;
constexpr uint8_t kAnticoll = 0x12;
constexpr uint8_t kSelect = 0x13;
constexpr uint8_t kAuthenticate = 0x18;
constexpr uint8_t kRead = 0x19;
constexpr uint8_t kWrite = 0x1A;

// A Mifare Classic key; by default the factory-state key of every sector.
constexpr _MIF_KEY_ MakeKey(uint8_t type,
                            std::array<uint8_t, 6> value = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) {
  _MIF_KEY_ key{type, {}};
  for (int i = 0; i < 6; ++i) key.KeyValue[i] = value[i];
  return key;
}
inline constexpr _MIF_KEY_ kTransportKey = MakeKey(MIF_KEY_TYPE_A);

// A recognisable pattern for `count` consecutive 16-byte blocks.
inline Bytes Pattern(unsigned firstBlock, unsigned count, uint8_t salt) {
  Bytes bytes(16 * count);
  for (unsigned i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>((firstBlock + i / 16) * 7 + (i % 16) * 13 + salt);
  return bytes;
}

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = bus->addReader();
    session = CreateSession();
    char name[] = "USB_0";
    ASSERT_EQ(ConnectReader(session, NORVEX_INTERFACE_USB, name, 0x0110), 0);
  }
  void TearDown() override { ReleaseSession(session); }

  // Places a card and starts the log afresh.
  Bytes Place(const std::string& card) {
    Bytes uid = bus->placeCard(reader, card);
    bus->clearLog(reader);
    return uid;
  }
  Bytes PlaceSelected(const std::string& card) {
    const Bytes uid = Place(card);
    uint8_t selected[4] = {};
    EXPECT_EQ(MifC_GetCard(session, selected), 0);
    bus->clearLog(reader);
    return uid;
  }
  long SelectAndAuthenticate(const _MIF_KEY_& key, uint8_t sector) {
    uint8_t uid[4] = {};
    if (long status = MifC_GetCard(session, uid)) return status;
    return MifC_AuthSector(session, &key, uid, sector);
  }

  Bytes Memory(const Bytes& uid) const { return bus->cardMemory(reader, uid); }
  Bytes Blocks(const Bytes& uid, unsigned first, unsigned count = 1) const {
    const Bytes memory = Memory(uid);
    return Bytes(memory.begin() + 16 * first, memory.begin() + 16 * (first + count));
  }

  std::vector<norvexsim::LogEntry> Log() const { return bus->log(reader); }
  void ClearLog() { bus->clearLog(reader); }
  Bytes Instructions() const {
    Bytes codes;
    for (const auto& entry : Log()) codes.push_back(entry.instruction);
    return codes;
  }
  // Block numbers of the logged instructions with this code (the last parameter of an
  // authentication, the first of the others).
  Bytes LoggedBlocks(uint8_t instruction) const {
    Bytes blocks;
    for (const auto& entry : Log()) {
      if (entry.instruction != instruction || entry.params.empty()) continue;
      blocks.push_back(instruction == kAuthenticate ? entry.params.back() : entry.params.front());
    }
    return blocks;
  }

  SimulatorHarness bus;
  int reader = 0;
  void* session = nullptr;
};
