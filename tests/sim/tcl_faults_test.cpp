// SPDX-License-Identifier: MIT
// Faults of the iso14443-4 card: each one frame by frame, then armed by control commands over a
// running simulator, with the reader's response time-out and the air frames in the log.

#include "BusClient.h"
#include "TclHarness.h"
#include "sim/Simulator.h"

namespace norvexsim::test {
namespace {

using tcl::TclFault;
using tcl::TclFaultKind;

const Bytes kRead16{0x03, 0x00, 0xB0, 0x00, 0x00, 0x10};

TEST(TclFaults, EachFaultFiresOnceAndTheCardRecoversByTheRules) {
  const std::vector<Scenario> scenarios = {
      {"two S(WTX) requests before the answer",
       {},
       0x80,
       TclFault{TclFaultKind::WtxRequests, 2},
       {},
       {{selectEf0101(0x02), answer({0xF2, 0x01})},
        {{0xF2, 0x01}, answer({0xF2, 0x01})},
        {{0xF2, 0x01}, answer(iBlockOk(0x02))}}},
      {"100 ms more than the 77 ms FWT: one S(WTX) asks for WTXM 1",
       {},
       0x80,
       TclFault{TclFaultKind::SlowAnswer, 100},
       {},
       {{selectEf0101(0x02), answer({0xF2, 0x01})}, {{0xF2, 0x01}, answer(iBlockOk(0x02))}}},
      {"an answer after the reader's time-out is not heard, R(NAK) gets it again",
       {},
       0x80,
       TclFault{TclFaultKind::SlowAnswer, 100},
       50,
       {{selectEf0101(0x02), answer({0xF2, 0x01})},  // at 39 ms
        {{0xF2, 0x01}, kSilent},                     // at 62 ms
        {{0xB2}, answer(iBlockOk(0x02))}}},
      {"a lost I-block: silence, R(NAK) gets R(ACK) of the unchanged number",
       {},
       0x80,
       TclFault{TclFaultKind::LoseIBlock},
       {},
       {{selectEf0101(0x02), kSilent},
        {{0xB2}, answer({0xA3})},
        {selectEf0101(0x02), answer(iBlockOk(0x02))}}},
      {"R(NAK) instead of an answer",
       {},
       0x80,
       TclFault{TclFaultKind::NakIBlock},
       {},
       {{selectEf0101(0x02), answer({0xB3})}, {selectEf0101(0x02), answer(iBlockOk(0x02))}}},
      {"R(ACK) of the wrong number: the I-block must be sent again",
       {},
       0x80,
       TclFault{TclFaultKind::WrongAckNumber},
       {},
       {{selectEf0101(0x02), answer({0xA3})}, {selectEf0101(0x02), answer(iBlockOk(0x02))}}},
      {"an empty frame",
       {},
       0x80,
       TclFault{TclFaultKind::EmptyAnswer},
       {},
       {{selectEf0101(0x02), answer({})}, {{0xB2}, answer(iBlockOk(0x02))}}},
      {"a one-byte frame",
       {},
       0x80,
       TclFault{TclFaultKind::OneByteAnswer},
       {},
       {{selectEf0101(0x02), answer({0x02})}, {{0xB2}, answer(iBlockOk(0x02))}}},
      {"FSD 16 ignored by the first answer that needs chaining",
       {},
       0x00,
       TclFault{TclFaultKind::OversizeFrame},
       {},
       {{selectEf0101(0x02), answer(iBlockOk(0x02))},
        {kRead16, answer(cat({{0x03}, text("NORVEX T=CL CARD"), {0x90, 0x00}}))}}},
      {"the card leaves while it chains its answer",
       {},
       0x00,
       TclFault{TclFaultKind::LeaveMidChain},
       {},
       {{selectEf0101(0x02), answer(iBlockOk(0x02))},
        {kRead16, answer(cat({{0x13}, text("NORVEX T=CL C")}))},
        {{0xA2}, kSilent},
        {{0xA2}, kNoCardThere}}},
      {"the card leaves while the reader chains its command",
       {},
       0x80,
       TclFault{TclFaultKind::LeaveMidChain},
       {},
       {{{0x12, 0x00, 0xA4, 0x00}, answer({0xA2})},
        {{0x03, 0x0C}, kSilent},
        {{0x03, 0x0C}, kNoCardThere}}},
  };
  for (const auto& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    TclHarness h;
    h.play(scenario);
  }
}

class TclFaultControl : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = sim.addReader();
    uid = sim.placeCard(reader, "iso14443-4:uid=04112233445566");
    ASSERT_EQ(host.open(0), 0);
  }
  // Reader instruction over the bus; the reply's status and data.
  Heard run(uint8_t instruction, const Bytes& params) {
    const auto reply = host.transact(sequence++, instruction, params);
    if (!reply) return {127, {}};
    return {reply->status, reply->data};
  }
  Heard send(const Bytes& frame) {
    return run(0x03, cat({{0x1E, static_cast<uint8_t>(frame.size()), 0x00}, frame}));
  }

  simtest::TempDir dir;
  std::string path = dir.file("tcl.sock");
  Simulator sim{path};
  int reader = -1;
  Bytes uid;
  simtest::BusClient host{path};
  uint8_t sequence = 0;
};

TEST_F(TclFaultControl, FaultCommandsArmFaultsOrExplainWhyNot) {
  for (const char* line :
       {"fault 0 crc", "fault 0 stale", "fault 0 silence 2", "fault 0 status -12",
        "fault 0 leave 3", "fault 0 leave 3 04112233445566", "fault 0 wtx 2", "fault 0 slow 90",
        "fault 0 lose-iblock", "fault 0 nak", "fault 0 wrong-ack", "fault 0 empty",
        "fault 0 one-byte", "fault 0 oversize", "fault 0 leave-mid-chain 04112233445566",
        "fault 0 clear"}) {
    EXPECT_EQ(sim.control(line), "ok") << line;
  }
  for (const char* line :
       {"fault 0", "fault 1 crc", "fault 0 fly", "fault 0 crc 1", "fault 0 silence",
        "fault 0 silence 0", "fault 0 status 200", "fault 0 wtx x", "fault 0 nak 0102",
        "fault 0 nak ZZ", "fault 0 nak 04112233445566 1"}) {
    EXPECT_EQ(sim.control(line).rfind("error ", 0), 0u) << line;
  }
  sim.removeAllCards(reader);
  EXPECT_EQ(sim.control("fault 0 nak").rfind("error ", 0), 0u) << "no ISO 14443-4 card";
  EXPECT_EQ(sim.control("fault 0 crc"), "ok");
}

TEST_F(TclFaultControl, TheReaderTimeOutDecidesWhatIsHeardAndTheLogShowsTheAir) {
  ASSERT_EQ(run(0x43, {0x00}).status, kOk);
  ASSERT_EQ(run(0xE7, {0x80}).status, kOk);
  ASSERT_EQ(run(0x27, le32(50)).status, kOk);
  ASSERT_EQ(sim.control("fault 0 slow 100"), "ok");
  EXPECT_EQ(send(selectEf0101(0x02)), answer({0xF2, 0x01}));
  EXPECT_EQ(send({0xF2, 0x01}), kSilent);
  const auto log = sim.log(reader);
  ASSERT_EQ(log.size(), 5u);
  EXPECT_NE(log[1].text.find(">> E0 80 [CRC "), std::string::npos) << log[1].text;
  EXPECT_NE(log[3].text.find(">> 02 00 A4 00 0C 02 01 01 [CRC "), std::string::npos) << log[3].text;
  EXPECT_NE(log[3].text.find("<< after 38.7 ms: F2 01 [CRC "), std::string::npos) << log[3].text;
  EXPECT_NE(log[4].text.find("<< not heard, after 62.3 ms (time-out 50.0 ms): 02 90 00"),
            std::string::npos)
      << log[4].text;

  ASSERT_EQ(sim.control("fault 0 one-byte"), "ok");
  ASSERT_EQ(sim.control("fault 0 clear"), "ok");
  EXPECT_EQ(send({0xB2}), answer(iBlockOk(0x02))) << "cleared faults do not fire";
}

}  // namespace
}  // namespace norvexsim::test
