// SPDX-License-Identifier: MIT
// Reader maintenance through the exported functions against the simulated reader: registers,
// peripherals, the boot loader's entry and the reader's return, and replies of the wrong size.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>

#include "SimulatorHarness.h"

namespace {

class ReaderMaintenance : public ReaderTest {
 protected:
  // Answers the instruction with these data bytes and status 0, instead of the reader.
  void AnswerWith(uint8_t code, Bytes data) {
    bus->setInstructionHook(reader,
                            [code, data](uint8_t instruction, const Bytes&,
                                         norvexsim::Field&) -> std::optional<norvexsim::Reply> {
                              if (instruction != code) return std::nullopt;
                              return norvexsim::Reply{0, data};
                            });
  }
  std::string State() { return bus->control("state " + std::to_string(reader)); }
};

TEST_F(ReaderMaintenance, RegistersKeepWhatIsWritten) {
  ASSERT_EQ(PcdWriteReg(session, 0x11, 0x5A), 0);
  ASSERT_EQ(PcdWriteReg(session, 0x12, 0xA5), 0);
  uint8_t value = 0;
  ASSERT_EQ(PcdReadReg(session, 0x11, &value), 0);
  EXPECT_EQ(value, 0x5A);
  ASSERT_EQ(PcdReadReg(session, 0x12, &value), 0);
  EXPECT_EQ(value, 0xA5);
  EXPECT_EQ(Log()[0].params, (Bytes{0x11, 0x5A}));
  value = 0xEE;
  EXPECT_NE(PcdReadReg(session, 0xFF, &value), 0) << "beyond the reader's registers";
  EXPECT_EQ(value, 0xEE);
}

TEST_F(ReaderMaintenance, PeripheralStatesReachTheReader) {
  ASSERT_EQ(SetIODevState(session, 0, 1), 0);
  ASSERT_EQ(SetIODevState(session, 1, 3), 0);
  EXPECT_EQ(Log()[1].instruction, 0xE6);
  EXPECT_EQ(Log()[1].params, (Bytes{1, 3}));
  const std::string state = State();
  EXPECT_NE(state.find("LED 01"), std::string::npos) << state;
  EXPECT_NE(state.find("buzzer 03"), std::string::npos) << state;
}

TEST_F(ReaderMaintenance, InSystemProgrammingTakesTheReaderOffTheBusUntilReplugged) {
  ASSERT_EQ(EnterISPMode(session), 0);
  // The reader answers first, then its boot loader takes it off the bus.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (bus->isPlugged(reader) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_FALSE(bus->isPlugged(reader));
  uint8_t version[64];
  uint8_t length = sizeof version;
  EXPECT_NE(GetFWVersion(session, version, &length), 0);
  EXPECT_EQ(DisconnectReader(session), 0);
  char name[] = "USB_0";
  EXPECT_NE(ConnectReader(session, NORVEX_INTERFACE_USB, name, 0x0110), 0);

  bus->replug(reader);
  ASSERT_EQ(ConnectReader(session, NORVEX_INTERFACE_USB, name, 0x0110), 0);
  length = sizeof version;
  EXPECT_EQ(GetFWVersion(session, version, &length), 0);
  EXPECT_NE(State().find("mode normal"), std::string::npos) << State();
}

// Replies of the wrong size through the exported functions: the instruction's error, and the
// caller's buffers as they were.
TEST_F(ReaderMaintenance, RepliesOfTheWrongSizeAreRefused) {
  uint8_t out[16], p5 = 0, p6, hlLen;
  uint16_t length;
  const uint8_t pupi[4] = {1, 2, 3, 4};
  const std::tuple<const char*, uint8_t, Bytes, std::function<long()>, long> cases[] = {
      {"register",
       0x02,
       {1, 2},
       [&] { return PcdReadReg(session, 1, out); },
       NORVEX_E_READ_TOO_LONG},
      {"ATQB", 0xB1, Bytes(12, 0x50),
       [&] { return length = 4, TypeB_RequestIdle(session, 0, 0, out, &length); },
       NORVEX_E_READ_TOO_LONG},
      {"ATTRIB shorter than it announces",
       0xB3,
       {0x01, 0x00, 4, 0x90, 0x00},
       [&] { return hlLen = 8, TypeB_Attrib(session, pupi, 0, 8, 1, &p5, &p6, &hlLen, out); },
       NORVEX_E_READ_TOO_LONG},
      {"RF scan state",
       0xE8,
       {1, 0},
       [&] {
         uint32_t state = 0xEE;
         const long status = GetRFScan(session, &state);
         out[0] = static_cast<uint8_t>(state);
         return status;
       },
       NORVEX_E_WRONG_PARAMETER_VALUE},
  };
  for (const auto& [name, code, reply, call, expected] : cases) {
    std::fill(std::begin(out), std::end(out), 0xEE);
    p6 = 0xEE;
    AnswerWith(code, reply);
    EXPECT_EQ(call(), expected) << name;
    EXPECT_EQ(out[0], 0xEE) << name;
    EXPECT_EQ(p6, 0xEE) << name;
  }
}

}  // namespace
