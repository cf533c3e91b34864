// The reader firmware over the bus: frame round trips, CRC and sequence handling, packet
// reassembly, and the reader-level instructions.
#include <gtest/gtest.h>

#include <string>

#include "BusClient.h"
#include "sim/Simulator.h"

namespace {

using simtest::BusClient;
using simtest::Bytes;
using namespace std::chrono_literals;

class FirmwareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = sim.addReader();
    ASSERT_EQ(host.open(0), 0);
  }

  // Runs one instruction; fails the test when there is no valid reply.
  simtest::ReplyFrame run(uint8_t instruction, const Bytes& params = {}) {
    const auto reply = host.transact(sequence, instruction, params);
    EXPECT_TRUE(reply);
    if (!reply) return {};
    EXPECT_TRUE(reply->crcValid);
    EXPECT_EQ(reply->sequence, sequence);
    ++sequence;
    return *reply;
  }

  simtest::TempDir dir;
  std::string path = dir.file("fw.sock");
  norvexsim::Simulator sim{path};
  int reader = -1;
  BusClient host{path};
  uint8_t sequence = 0;
};

TEST_F(FirmwareTest, ShortExchangeIsOnePacketEachWayWithZeroPadding) {
  // The host's first frame: RdPcdConfig, sequence 0, CRC 0x798D.
  ASSERT_EQ(simtest::requestFrame(0, 0x10), (Bytes{0xA5, 0x00, 0x10, 0x00, 0x00, 0x8D, 0x79}));
  host.sendFrame(simtest::requestFrame(0, 0x10));
  simtest::Message packet;
  ASSERT_EQ(host.receive(packet), BusClient::Wait::kMessage);
  ASSERT_EQ(packet.type, 'P');
  ASSERT_EQ(packet.payload.size(), 32u);
  const Bytes head(packet.payload.begin(), packet.payload.begin() + 5);
  EXPECT_EQ(head, (Bytes{0xA5, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Bytes(packet.payload.begin() + 7, packet.payload.end()), Bytes(25, 0));
  EXPECT_FALSE(host.receiveFrame(100ms)) << "exactly one packet for a 7-byte reply";
}

TEST_F(FirmwareTest, ReplyEchoesEverySequenceNumber) {
  for (int s : {0, 1, 0x7F, 0x80, 0xFE, 0xFF}) {
    const auto reply = host.transact(static_cast<uint8_t>(s), 0x47);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->crcValid);
    EXPECT_EQ(reply->sequence, s);
  }
}

TEST_F(FirmwareTest, MultiPacketFramesAreReassembledBothWays) {
  // PingReader echoes its parameters: a 47-byte frame each way, two packets each, and the
  // host's padding (bytes of the previous chunk) after the request must be ignored.
  Bytes payload(40);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  host.sendFrame(simtest::requestFrame(9, 0x86, payload), 0xEE);
  const auto reply = host.receiveFrame();
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->crcValid);
  EXPECT_EQ(reply->packets, 2u);
  EXPECT_EQ(reply->data, payload);

  const Bytes big(300, 0x5A);  // ten packets out, ten back
  const auto echoed = run(0x86, big);
  EXPECT_EQ(echoed.packets, 10u);
  EXPECT_EQ(echoed.data, big);
}

TEST_F(FirmwareTest, BadRequestCrcIsAnsweredWithTheCrcErrorStatus) {
  for (size_t flip : {1u, 2u, 5u, 6u}) {  // sequence, code, parameter, CRC
    SCOPED_TRACE(flip);
    Bytes frame = simtest::requestFrame(0x42, 0x46, {0x01});
    frame[flip] ^= 0x10;
    host.sendFrame(frame);
    const auto reply = host.receiveFrame();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->crcValid);
    EXPECT_EQ(reply->status, -2);
    EXPECT_EQ(reply->sequence, frame[1]) << "the sequence byte is echoed as received";
    EXPECT_TRUE(reply->data.empty());
  }
  EXPECT_EQ(run(0x47).data, (Bytes{0, 0, 8, 1, 0})) << "nothing was executed";
  const auto log = sim.log(reader);
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.front().text.find("request CRC wrong"), std::string::npos) << log.front().text;
}

TEST_F(FirmwareTest, PacketsThatStartNoFrameAreDroppedAndTheNextFrameIsServed) {
  host.send('P', Bytes(32, 0x00));
  EXPECT_FALSE(host.receiveFrame(100ms));
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
      {0x20, {}},
      {0x20, {1, 2, 3}},
      {0x27, {1, 2}},
      {0x45, {0}},
      {0x46, {1}},
      {0x46, {4, 0}},
      {0x47, {0}},
      {0x63, {0}},
      {0x98, {0, 1, 2, 3}},
      {0x98, {0}},
      {0xED, {1}},
      {0xEA, {}},
      {0x01, {0x40, 0x00}},
      {0x02, {0x40}},
      {0x02, {}},
      {0x23, {0x00, 0x02, 1}},
      {0x23, {0xFF, 0x01, 2}},
      {0x24, {0x20, 0x00, 2, 0xAA}},
      {0x82, {5}},
      {0x87, {1}},
      {0xE6, {1}},
      {0xE8, {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << int(c.code) << " with " << std::dec
                                    << c.params.size() << " bytes");
    const auto reply = run(c.code, c.params);
    EXPECT_EQ(reply.status, -21);
    EXPECT_TRUE(reply.data.empty());
  }
}

TEST_F(FirmwareTest, AttributesCanBeSetReadAndRestored) {
  EXPECT_EQ(run(0x47).data, (Bytes{0, 0, 8, 1, 0}));
  EXPECT_EQ(run(0x46, {2, 3}).status, 0);
  EXPECT_EQ(run(0x47).data, (Bytes{2, 3, 8, 1, 0}));
  EXPECT_EQ(run(0x45).status, 0);
  EXPECT_EQ(run(0x47).data, (Bytes{0, 0, 8, 1, 0}));
}

TEST_F(FirmwareTest, FirmwareVersionIsACountedText) {
  const auto reply = run(0x63);
  EXPECT_EQ(reply.status, 0);
  ASSERT_GE(reply.data.size(), 2u);
  const size_t count = reply.data[0] | reply.data[1] << 8;
  EXPECT_EQ(count, reply.data.size() - 2);
  EXPECT_LE(count, 255u) << "the host keeps the length in one byte";
  const std::string text(reply.data.begin() + 2, reply.data.end());
  EXPECT_NE(text.find("0110"), std::string::npos) << text;
}

TEST_F(FirmwareTest, RegistersAndEepromKeepWhatIsWritten) {
  EXPECT_EQ(run(0x01, {0x09, 0xA7}).status, 0);
  EXPECT_EQ(run(0x02, {0x09}).data, (Bytes{0xA7}));

  EXPECT_EQ(run(0x24, {0x00, 0x01, 3, 0x11, 0x22, 0x33}).status, 0);  // address 0x100
  EXPECT_EQ(run(0x23, {0xFF, 0x00, 5}).data, (Bytes{0xFF, 0x11, 0x22, 0x33, 0xFF}));
  EXPECT_EQ(run(0x23, {0xFE, 0x01, 2}).data, (Bytes{0xFF, 0xFF})) << "last two bytes";

  const Bytes info = run(0x23, {0x00, 0x00, 16}).data;
  EXPECT_EQ(run(0x24, {0x04, 0x00, 1, 0x00}).status, -4) << "product information is protected";
  EXPECT_EQ(run(0x23, {0x00, 0x00, 16}).data, info);
}

TEST_F(FirmwareTest, MaintenanceInstructionsAnswerPlausibly) {
  EXPECT_EQ(run(0x27, {0x10, 0x27, 0, 0}).data, (Bytes{0xE8, 0x03, 0, 0})) << "previous 1000";
  EXPECT_EQ(run(0x27, {0x20, 0, 0, 0}).data, (Bytes{0x10, 0x27, 0, 0}));
  EXPECT_EQ(run(0x83).data, (Bytes{3})) << "115200 bit/s";
  EXPECT_EQ(run(0x82, {4}).status, 0);
  EXPECT_EQ(run(0xE8).data, (Bytes{0}));
  EXPECT_EQ(run(0xE0).status, 0);
  EXPECT_EQ(run(0xE8).data, (Bytes{1}));
  EXPECT_EQ(run(0xE1).status, 0);
  EXPECT_EQ(run(0xE8).data, (Bytes{0}));
  EXPECT_EQ(run(0x98, Bytes(13, 0xFF)).status, 0) << "a key set and two keys";
  for (uint8_t code : {0x85, 0x62, 0x66}) EXPECT_EQ(run(code).status, 0);
  for (const Bytes& params : {Bytes{0x34, 0x12}}) EXPECT_EQ(run(0x87, params).data, params);
}

TEST_F(FirmwareTest, ReplugPowerCyclesTheReaderButKeepsItsEeprom) {
  run(0x46, {1, 1});
  run(0x24, {0x00, 0x01, 1, 0x77});
  sim.unplug(reader);
  sim.replug(reader);
  BusClient again(path);
  ASSERT_EQ(again.open(0), 0);
  const auto attributes = again.transact(0, 0x47);
  ASSERT_TRUE(attributes);
  EXPECT_EQ(attributes->data, (Bytes{0, 0, 8, 1, 0}));
  const auto eeprom = again.transact(1, 0x23, {0x00, 0x01, 1});
  ASSERT_TRUE(eeprom);
  EXPECT_EQ(eeprom->data, (Bytes{0x77}));
}

// A halted card ignores an idle request until the field is switched off and on again, which
// RdPcdRfReset and RdPcdConfig both do.
TEST_F(FirmwareTest, RfResetAndConfigWakeHaltedCards) {
  sim.placeCard(reader, "classic1k:uid=01020304");
  constexpr uint8_t kActivateIdle = 0x43, kHalt = 0x1D;
  for (const auto& [code, params] : {std::pair<uint8_t, Bytes>{0x20, {25, 0}}, {0x10, {}}}) {
    SCOPED_TRACE(int(code));
    const auto activated = run(kActivateIdle, {0});
    ASSERT_EQ(activated.status, 0);
    ASSERT_GE(activated.data.size(), 8u);
    EXPECT_EQ(Bytes(activated.data.begin() + 4, activated.data.begin() + 8), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(run(kHalt).status, 0);
    EXPECT_EQ(run(kActivateIdle, {0}).status, -1) << "a halted card stays silent";
    EXPECT_EQ(run(code, params).status, 0);
  }
  EXPECT_EQ(run(kActivateIdle, {0}).status, 0);
}

TEST_F(FirmwareTest, LogRecordsEachExchangeDecoded) {
  run(0x46, {2, 1});
  run(0x7C, {0xAB});
  const auto log = sim.log(reader);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].sequence, 0);
  EXPECT_EQ(log[0].instruction, 0x46);
  EXPECT_EQ(log[0].params, (Bytes{2, 1}));
  EXPECT_EQ(log[0].status, 0);
  EXPECT_TRUE(log[0].answered);
  EXPECT_EQ(log[0].text, "#00 0x46 RdPcdSetAttrib [02 01] -> status 0 []");
  EXPECT_EQ(log[1].text, "#01 0x7C Instruction 0x7C [AB] -> status -21 []");
  sim.clearLog(reader);
  EXPECT_TRUE(sim.log(reader).empty());
}

}  // namespace
