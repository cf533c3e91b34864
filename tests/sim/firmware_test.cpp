// SPDX-License-Identifier: MIT
// The reader firmware over the bus: packets and reassembly, CRC and sequence handling, and refused
// instructions.
#include <gtest/gtest.h>

#include "OpenReaderHarness.h"
#include "sim/device/FrameCrc.h"

namespace {

using simtest::BusClient;
using simtest::Bytes;
using namespace std::chrono_literals;

using FirmwareTest = simtest::OpenReaderTest;

// The device side's own frame checksum against the published CRC-16/MCRF4XX check value.
TEST(FrameCrc, PublishedCheckValue) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(norvexsim::frameCrc(check, sizeof check), 0x6F91);
  EXPECT_EQ(norvexsim::frameCrc(nullptr, 0), 0xFFFF);
}

TEST_F(FirmwareTest, FramesTravelAsPaddedPacketsBothWays) {
  // The host's first frame: RdPcdConfig, sequence 0, CRC 0x798D.
  ASSERT_EQ(simtest::requestFrame(0, 0x10), (Bytes{0xA5, 0x00, 0x10, 0x00, 0x00, 0x8D, 0x79}));
  host->sendFrame(simtest::requestFrame(0xFF, 0x10));
  simtest::Message packet;
  ASSERT_EQ(host->receive(packet), BusClient::Wait::kMessage);
  ASSERT_EQ(packet.payload.size(), 32u);
  EXPECT_EQ(Bytes(packet.payload.begin(), packet.payload.begin() + 5),
            (Bytes{0xA5, 0xFF, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Bytes(packet.payload.begin() + 7, packet.payload.end()), Bytes(25, 0));
  EXPECT_FALSE(host->receiveFrame(100ms)) << "exactly one packet for a 7-byte reply";

  // PingReader echoes its parameters; the host's padding after the request must be ignored.
  Bytes payload(40);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  host->sendFrame(simtest::requestFrame(9, 0x86, payload), 0xEE);
  const auto reply = host->receiveFrame();
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->crcValid);
  EXPECT_EQ(reply->packets, 2u);
  EXPECT_EQ(reply->data, payload);
  sequence = 10;
  const auto echoed = run(0x86, Bytes(300, 0x5A));
  EXPECT_EQ(echoed.packets, 10u);
  EXPECT_EQ(echoed.data, Bytes(300, 0x5A));
}

TEST_F(FirmwareTest, BadRequestCrcIsAnsweredWithTheCrcErrorStatusAndNotExecuted) {
  for (size_t flip : {1u, 2u, 5u, 6u}) {  // sequence, code, parameter, CRC
    SCOPED_TRACE(flip);
    Bytes frame = simtest::requestFrame(0x42, 0x46, {0x01});
    frame[flip] ^= 0x10;
    host->sendFrame(frame);
    const auto reply = host->receiveFrame();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->crcValid);
    EXPECT_EQ(reply->status, -2);
    EXPECT_EQ(reply->sequence, frame[1]) << "the sequence byte is echoed as received";
    EXPECT_TRUE(reply->data.empty());
  }
  EXPECT_EQ(run(0x47).data, (Bytes{0, 0, 8, 1, 0})) << "nothing was executed";
  EXPECT_NE(sim.log(reader).front().text.find("request CRC wrong"), std::string::npos);
}

TEST_F(FirmwareTest, PacketsThatStartNoFrameAreDropped) {
  host->send('P', Bytes(32, 0x00));
  EXPECT_FALSE(host->receiveFrame(100ms));
  EXPECT_EQ(run(0x10).status, 0);
  const auto log = sim.log(reader);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_FALSE(log[0].answered);
  EXPECT_EQ(log[1].instruction, 0x10);
}

TEST_F(FirmwareTest, UnknownCodesAndMalformedParametersGetTheBadFrameStatus) {
  struct Case {
    uint8_t code;
    Bytes params;
  };
  const Case cases[] = {
      {0x7C, {}},
      {0xFF, {1, 2}},
      {0x10, {0x01}},
      {0x20, {1, 2, 3}},
      {0x46, {4, 0}},
      {0x98, {0, 1, 2, 3}},
      {0x02, {}},
      {0x23, {0x00, 0x02, 1}},
      {0x23, {0xFF, 0x01, 2}},
      {0x24, {0x20, 0x00, 2, 0xAA}},
      {0x82, {5}},
      {0xE8, {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << int(c.code) << ", " << c.params.size());
    const auto reply = run(c.code, c.params);
    EXPECT_EQ(reply.status, -21);
    EXPECT_TRUE(reply.data.empty());
  }
}

}  // namespace
