// SPDX-License-Identifier: MIT
// The ISO 14443-4 card in the simulated field: activation (RATS, ATS, PPS) and the card side of
// the block protocol, frame by frame against the standard's rules.

#include "TclHarness.h"
#include "sim/cards/CrcA.h"

namespace norvexsim::test {
namespace {

const Bytes kDefaultAts{0x0A, 0x78, 0x77, 0x81, 0x02, 0x80, 0x53, 0x4E, 0x56, 0x58};
// TB 21: FWI 2, a frame waiting time of 1.2 ms, shorter than an EEPROM write.
const std::string kQuickFwtCard =
    "iso14443-4:uid=04112233445566,ats=0A78772102805"
    "34E5658";

Bytes withCid(uint8_t pcb, uint8_t cid, const Bytes& inf) {
  return cat({{static_cast<uint8_t>(pcb | 0x08), cid}, inf});
}
const Bytes kSelect0101{0x00, 0xA4, 0x00, 0x0C, 0x02, 0x01, 0x01};
const Bytes kOk9000{0x90, 0x00};

TEST(TclActivation, RatsIsAnsweredOnlyByIso14443_4CardsWithTheirAts) {
  TclHarness h;
  Reply selected = h.activateIdle();
  EXPECT_EQ(selected.data, cat({{0x44, 0x00, 0x20, 7}, h.uid})) << "SAK 20: ISO 14443-4";
  EXPECT_EQ(h.rats(0x80).data, kDefaultAts);
  EXPECT_EQ(h.rats(0x80).status, kCardTimeout) << "a second RATS is no valid block";

  TclHarness classic("classic1k:uid=01020304");
  ASSERT_EQ(classic.activateIdle().status, kOk);
  EXPECT_EQ(classic.rats(0x80).status, kCardTimeout);
  EXPECT_EQ(classic.field.state(classic.uid), CardState::Idle) << "RATS is an error frame to it";
  EXPECT_EQ(classic.rats(0x80).status, kNoCard);
}

TEST(TclActivation, CardOptionsShapeTheAts) {
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"fsci=5", {0x0A, 0x75, 0x77, 0x81, 0x02, 0x80, 0x53, 0x4E, 0x56, 0x58}},
      {"cid=off", {0x0A, 0x78, 0x77, 0x81, 0x00, 0x80, 0x53, 0x4E, 0x56, 0x58}},
      {"ats=0575008102,fsci=8", {0x05, 0x78, 0x00, 0x81, 0x02}},
      {"ats=01", {0x01}},
  };
  for (const auto& [options, ats] : cases) {
    TclHarness h("iso14443-4:uid=01020304," + options);
    EXPECT_EQ(h.activateIdle().data[0], 0x04) << "single-size UID in the ATQA";
    EXPECT_EQ(h.rats(0x80).data, ats) << options;
  }
  for (const char* bad : {"fsci=13", "fsci=x", "cid=yes", "ats=0678", "ats=0278", "ats=0288",
                          "ats=", "uid=0102", "file=x", "ats=0208,cid=on"}) {
    EXPECT_THROW(Field().place(std::string("iso14443-4:") + bad), std::invalid_argument) << bad;
  }
}

// PPS as the reader instruction 0x48 carries it: mode 1 leaves room for the CRC in the frame
// and returns the card's frame with its CRC.
TEST(TclActivation, PpsIsConfirmedOnlyRightAfterTheAtsAndForOfferedBitRates) {
  auto pps = [](Harness& h, uint8_t ppss, uint8_t pps1, uint8_t mode) {
    Bytes frame{ppss, 0x11, pps1};
    if (mode == 1) frame.insert(frame.end(), {0x00, 0x00});
    return h.run(0x48, cat({{static_cast<uint8_t>(frame.size()), 0x00, mode}, le32(1000), frame}));
  };
  const auto crc = crcA(Bytes{0xD0});
  EXPECT_EQ(crc, (std::array<uint8_t, 2>{0x73, 0x87}));
  EXPECT_EQ(crcA(Bytes{0x12, 0x34}), (std::array<uint8_t, 2>{0x26, 0xCF})) << "ISO 14443-3 annex B";
  EXPECT_EQ(crcB(Bytes{0x0F, 0xAA, 0xFF}), (std::array<uint8_t, 2>{0xFC, 0xD1})) << "annex B";

  TclHarness h;
  ASSERT_EQ(h.activate(0x80).status, kOk);
  EXPECT_EQ(pps(h, 0xD1, 0x0A, 1).status, kCardTimeout) << "CID 1 is not the card's";
  EXPECT_EQ(pps(h, 0xD0, 0x0A, 1).data, (Bytes{3, 0, 0xD0, crc[0], crc[1]}));
  EXPECT_EQ(pps(h, 0xD0, 0x0A, 1).status, kCardTimeout) << "only once, right after the ATS";

  TclHarness slow("iso14443-4:uid=01020304,ats=0575008102");  // TA 00: 106 kbit/s only
  ASSERT_EQ(slow.activate(0x80).status, kOk);
  EXPECT_EQ(pps(slow, 0xD0, 0x04, 0).status, kCardTimeout) << "DSI 1 is not offered";
  EXPECT_EQ(pps(slow, 0xD0, 0x00, 0).data, (Bytes{1, 0, 0xD0}));
}

TEST(TclBlocks, CardSideFollowsTheBlockRules) {
  const std::vector<Scenario> scenarios = {
      {"rule D: each I-block toggles the card's number, the answer carries it",
       {},
       0x80,
       {},
       {},
       {{selectEf0101(0x02), answer(iBlockOk(0x02))},
        {{0x03, 0x00, 0xB0, 0x00, 0x00, 0x04}, answer(cat({{0x03}, text("NORV"), kOk9000}))}}},
      {"rules 11 and 12: R(NAK) or R(ACK) of the current number repeat, R(NAK) of the other acks",
       {},
       0x80,
       {},
       {},
       {{selectEf0101(0x02), answer(iBlockOk(0x02))},
        {{0xB2}, answer(iBlockOk(0x02))},
        {{0xA2}, answer(iBlockOk(0x02))},
        {{0xB3}, answer({0xA2})},
        {selectEf0101(0x03), answer(iBlockOk(0x03))}}},
      {"rule C: number 1 after activation, so a presence check gets R(ACK 1)",
       {},
       0x80,
       {},
       {},
       {{{0xB2}, answer({0xA3})}, {{0xB3}, answer({0xA3})}}},
      {"rule 2: the reader's chain is acknowledged block by block with the block's number",
       {},
       0x80,
       {},
       {},
       {{{0x12, 0x00, 0xA4, 0x00}, answer({0xA2})},
        {{0x13, 0x0C, 0x02}, answer({0xA3})},
        {{0x02, 0x01, 0x01}, answer(iBlockOk(0x02))},
        {{0x03, 0x00, 0xB0, 0x00, 0x00, 0x02}, answer(cat({{0x03}, text("NO"), kOk9000}))}}},
      {"rules 11, 13, E: the card chains within FSD 16, continues on R(ACK) of the other number",
       {},
       0x00,
       {},
       {},
       {{selectEf0101(0x02), answer(iBlockOk(0x02))},
        {{0x03, 0x00, 0xB0, 0x00, 0x00, 0x10}, answer(cat({{0x13}, text("NORVEX T=CL C")}))},
        {{0xA3}, answer(cat({{0x13}, text("NORVEX T=CL C")}))},
        {{0xA2}, answer(cat({{0x02}, text("ARD"), kOk9000}))},
        {selectEf0101(0x03), answer(iBlockOk(0x03))}}},
      {"CID 3: answers carry it, other CIDs and blocks without CID are ignored",
       {},
       0x83,
       {},
       {},
       {{withCid(0x02, 3, kSelect0101), answer({0x0A, 0x03, 0x90, 0x00})},
        {withCid(0x03, 2, kSelect0101), kSilent},
        {cat({{0x03}, kSelect0101}), kSilent},
        {withCid(0x03, 3, kSelect0101), answer({0x0B, 0x03, 0x90, 0x00})}}},
      {"a card without CID support ignores blocks with a CID",
       "iso14443-4:uid=04112233445566,cid=off",
       0x80,
       {},
       {},
       {{withCid(0x02, 0, kSelect0101), kSilent}, {selectEf0101(0x02), answer(iBlockOk(0x02))}}},
      {"rule 10: invalid blocks leave the card in receive mode, its number unchanged",
       {},
       0x80,
       {},
       {},
       {{{0x06, 0x12, 0x00, 0xA4, 0x00, 0x00}, kSilent},  // NAD, not supported
        {{0x22, 0x00}, kSilent},                          // RFU bit in the PCB
        {{0xF2, 0x01}, kSilent},                          // S(WTX) nobody asked for
        {{0xA2}, kSilent},                                // R(ACK) with nothing to continue
        {{}, kSilent},
        {{0xE0, 0x80}, kSilent},                     // RATS again
        {cat({{0x02}, Bytes(254, 0x00)}), kSilent},  // 257 bytes with CRC, FSC is 256
        {selectEf0101(0x02), answer(iBlockOk(0x02))}}},
      {"rule 9: a command slower than FWT asks for WTXM 3, granted only with the same value",
       kQuickFwtCard,
       0x80,
       {},
       {},
       {{{0x02, 0x00, 0xA4, 0x00, 0x0C, 0x02, 0x01, 0x02}, answer(iBlockOk(0x02))},
        {{0x03, 0x00, 0xD6, 0x00, 0x00, 0x01, 0xAA}, answer({0xF2, 0x03})},
        {{0xF2, 0x01}, kSilent},
        {{0xF2, 0x03}, answer(iBlockOk(0x03))}}},
      {"S(DESELECT) is confirmed, then the card is halted",
       {},
       0x80,
       {},
       {},
       {{{0xCA, 0x00}, answer({0xCA, 0x00})}, {selectEf0101(0x02), kNoCardThere}}},
  };
  for (const auto& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    TclHarness h(scenario.card);
    h.play(scenario);
  }
}

TEST(TclBlocks, DeselectedCardIsWokenWithFreshProtocolState) {
  TclHarness h;
  ASSERT_EQ(h.activate(0x80).status, kOk);
  EXPECT_EQ(h.send(selectEf0101(0x02)), answer(iBlockOk(0x02)));
  EXPECT_EQ(h.send({0xC2}), answer({0xC2}));
  EXPECT_EQ(h.field.state(h.uid), CardState::Halt);
  EXPECT_EQ(h.activateIdle().status, kNoCard) << "REQA does not wake it";
  ASSERT_EQ(h.activateWakeup(h.uid).status, kOk);
  ASSERT_EQ(h.rats(0x80).status, kOk);
  EXPECT_EQ(h.send({0xB2}), answer({0xA3})) << "block number 1 again";
  EXPECT_EQ(h.send({0x02, 0x00, 0xB0, 0x00, 0x00, 0x01}), answer({0x02, 0x69, 0x86}))
      << "no EF selected any more";
}

}  // namespace
}  // namespace norvexsim::test
