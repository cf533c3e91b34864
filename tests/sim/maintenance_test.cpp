// SPDX-License-Identifier: MIT
// The reader's maintenance instructions over the bus: what they keep, the bounds the firmware
// enforces, the state and log they leave, and the boot loader entry that takes the reader off
// the bus.
#include <gtest/gtest.h>

#include "OpenReaderHarness.h"

namespace {

using simtest::BusClient;
using simtest::Bytes;

using MaintenanceTest = simtest::OpenReaderTest;

TEST_F(MaintenanceTest, InstructionsKeepWhatIsWrittenWithinTheirBounds) {
  struct Step {
    uint8_t code;
    Bytes params;
    int8_t status;
    Bytes reply;
  };
  const Step steps[] = {
      {0x01, {0x3F, 0xA5}, 0, {}},  // last register
      {0x02, {0x3F}, 0, {0xA5}},
      {0x01, {0x40, 0x00}, -21, {}},               // beyond the register file
      {0x24, {0xFE, 0x01, 2, 0x12, 0x34}, 0, {}},  // the last two EEPROM bytes
      {0x23, {0xFE, 0x01, 2}, 0, {0x12, 0x34}},
      {0x24, {0xFF, 0x01, 2, 0x12, 0x34}, -21, {}},  // one byte past the end
      {0x24, {0x0F, 0x00, 1, 0x00}, -4, {}},         // product information is read-only
      {0x23, {0x00, 0x00, 2}, 0, {0x10, 0x01}},
      {0x83, {}, 0, {3}},  // jumpers at 115200
      {0x82, {4}, 0, {}},
      {0x82, {5}, -21, {}},  // not a speed code
      {0x85, {}, 0, {}},
      {0x87, {0x34, 0x12}, 0, {0x34, 0x12}},
      {0xE6, {0x00, 0x01}, 0, {}},  // LED on
      {0xE6, {0x01, 0x00}, 0, {}},  // buzzer off
      {0xE0, {}, 0, {}},
      {0xE8, {}, 0, {1}},
      {0xE1, {}, 0, {}},
      {0xE8, {}, 0, {0}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << "instruction " << std::hex << int(step.code));
    const auto reply = run(step.code, step.params);
    EXPECT_EQ(reply.status, step.status);
    EXPECT_EQ(reply.data, step.reply);
  }
  const auto state = sim.readerState(reader);
  EXPECT_EQ(state.onlineBaudCode, 4);
  EXPECT_EQ(state.peripherals, (std::map<uint8_t, uint8_t>{{0, 1}, {1, 0}}));
  EXPECT_EQ(sim.control("state 0"),
            "ok 6\njumper-speed 115200\nline-speed 38400\nrf-scan off\nmode normal\nLED 01\n"
            "buzzer 00");
  EXPECT_NE(sim.log(reader)[13].text.find("LED on"), std::string::npos);

  EXPECT_EQ(sim.control("jumper 0 code:9"), "ok");
  EXPECT_EQ(run(0x83).data, Bytes{9}) << "readers may report codes outside the table";
  EXPECT_EQ(sim.control("jumper 0 4800").rfind("error", 0), 0u);
}

TEST_F(MaintenanceTest, BootLoaderEntryTakesTheReaderOffTheBusUntilReplugged) {
  for (uint8_t code : {0x66, 0x62}) {
    SCOPED_TRACE(int(code));
    run(0x24, {0x00, 0x01, 1, 0x77});
    sim.setJumperCode(reader, 1);
    const auto reply = run(code);
    EXPECT_EQ(reply.status, 0) << "acknowledged before the reader leaves";
    EXPECT_TRUE(host->closedByPeer());
    EXPECT_FALSE(sim.isPlugged(reader));
    EXPECT_EQ(sim.readerState(reader).ispMode, code == 0x66);
    BusClient other(path);
    EXPECT_TRUE(other.list().empty());

    EXPECT_EQ(sim.control("replug 0"), "ok");
    host = std::make_unique<BusClient>(path);
    ASSERT_EQ(host->open(0), 0);
    EXPECT_NE(sim.control("state 0").find("mode normal"), std::string::npos);
    EXPECT_EQ(run(0x23, {0x00, 0x01, 1}).data, Bytes{0x77}) << "the EEPROM survives";
    EXPECT_EQ(run(0x83).data, Bytes{1}) << "and so do the jumpers";
  }
}

}  // namespace
