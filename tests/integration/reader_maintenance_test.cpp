// SPDX-License-Identifier: MIT
// Reader maintenance through the exported functions against the simulated reader: registers,
// peripherals, the boot loader's entry and the reader's return.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "SimulatorHarness.h"

namespace {

class ReaderMaintenance : public ReaderTest {
 protected:
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

}  // namespace
