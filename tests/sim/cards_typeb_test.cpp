// SPDX-License-Identifier: MIT
// ISO 14443-3 type B cards in the simulated field: REQB/WUPB with slots, slot markers resolving
// several cards, ATTRIB with and without higher-layer data, HLTB, and the AFI; after ATTRIB the
// ISO 14443-4 block protocol.

#include <set>

#include "CardsHarness.h"
#include "TclHarness.h"
#include "sim/cards/typeb/TypeBCard.h"

namespace norvexsim::test {
namespace {

constexpr int8_t kCollision = -24;
const Bytes kPupiA{0xA1, 0xA2, 0xA3, 0xA4}, kPupiB{0xB1, 0xB2, 0xB3, 0xB4};

Bytes atqb(const Bytes& pupi, const Bytes& appData = {0, 0, 0, 0},
           const Bytes& proto = {0x00, 0x81, 0x71}) {
  return cat({{0x50}, pupi, appData, proto});
}

TEST(CardsTypeB, SlotMarkersResolveCardsThatTookDifferentSlots) {
  Harness h;
  h.place("typeb:pupi=A1A2A3A4,slot=1,appdata=11223344,proto=018171,hlr=9000");
  h.place("typeb:pupi=B1B2B3B4,slot=3,afi=12");
  EXPECT_EQ(h.field.list(), (std::vector<std::string>{"typeb A1A2A3A4", "typeb B1B2B3B4"}));
  struct Step {
    uint8_t code;
    Bytes params;
    int8_t status;
    Bytes reply;
  };
  const Step steps[] = {
      {0xB1, {0x00, 0x02}, kOk, atqb(kPupiA, {0x11, 0x22, 0x33, 0x44}, {0x01, 0x81, 0x71})},
      {0xB4, {2}, kNoCard, {}},
      {0xB4, {3}, kOk, atqb(kPupiB)},
      {0xB3, cat({kPupiB, {0x00, 0x08, 0x01, 0x05, 0}}), kOk, {0x05, 0x00, 0x00}},  // CID 5
      {0xB3,
       cat({kPupiA, {0x00, 0x08, 0x01, 0x02, 2, 0xCA, 0xFE}}),
       kOk,
       {0x02, 0x00, 2, 0x90, 0x00}},
      {0xB3, cat({kPupiA, {0x00, 0x08, 0x01, 0x02, 0}}), kNoCard, {}},  // already ACTIVE
      {0xB5, kPupiA, kOk, {}},
      {0xB5, kPupiA, kNoCard, {}},  // halted
      {0xB5, kPupiB, kOk, {}},
      {0xB1, {0x00, 0x00}, kNoCard, {}},        // REQB does not wake halted cards
      {0xB2, {0x00, 0x00}, kCollision, {}},     // WUPB does: both in the one slot
      {0xB0, {0x05, 0x10, 0x02}, kNoCard, {}},  // family 1 only: B waits in slot 3
      {0xB4, {3}, kOk, atqb(kPupiB)},
      {0xB0, {0x05, 0x13, 0x00}, kNoCard, {}},        // AFI 13: nobody
      {0xB0, {0x05, 0x12, 0x08}, kOk, atqb(kPupiB)},  // WUPB bit, exact AFI
      // malformed: APf, slot code 5, slot numbers 1 and 17, ATTRIB shorter than announced
      {0xB0, {0x06, 0x00, 0x00}, kBadFrame, {}},
      {0xB1, {0x00, 0x05}, kBadFrame, {}},
      {0xB4, {1}, kBadFrame, {}},
      {0xB4, {17}, kBadFrame, {}},
      {0xB3, cat({kPupiA, {0x00, 0x08, 0x01, 0x02, 3, 0xCA}}), kBadFrame, {}},
      {0xB5, {0xA1, 0xA2}, kBadFrame, {}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << std::hex << int(step.code) << " " << int(step.params[0]));
    const Reply reply = h.run(step.code, step.params);
    EXPECT_EQ(reply.status, step.status);
    EXPECT_EQ(reply.data, step.reply);
  }
  h.field.rfReset();
  EXPECT_EQ(h.field.typeBCard(kPupiA)->state(), TypeBState::Idle);
}

// ATTRIB opens ISO 14443-4 with the card's frame size (Max_Frame_Size 5: 64 bytes), the CID of
// Param 4 and the 7816-4 files of the type A card; S(DESELECT) halts the card. Raw frames reach
// type B cards only while the reader talks type B.
TEST(CardsTypeB, AttribOpensTheBlockProtocol) {
  TclHarness h("typeb:pupi=A1A2A3A4,proto=005171");
  const Bytes selectWithCid3{0x0A, 0x03, 0x00, 0xA4, 0x00, 0x0C, 0x02, 0x01, 0x01};
  EXPECT_EQ(h.send(selectWithCid3), kNoCardThere) << "no ATTRIB yet";
  ASSERT_EQ(h.run(0xB1, {0x00, 0x00}).status, kOk);
  ASSERT_EQ(h.run(0xB3, cat({kPupiA, {0x00, 0x08, 0x01, 0x03, 0}})).data, (Bytes{0x03, 0, 0}));
  const Step steps[] = {
      {cat({{0x0A, 0x00}, Bytes(selectWithCid3.begin() + 2, selectWithCid3.end())}), kSilent},
      {selectWithCid3, answer({0x0A, 0x03, 0x90, 0x00})},
      {{0x0B, 0x03, 0x00, 0xB0, 0x00, 0x00, 0x04},
       answer(cat({{0x0B, 0x03}, text("NORV"), {0x90, 0x00}}))},
      {cat({{0x0A, 0x03, 0x00, 0xD6, 0x00, 0x00, 58}, Bytes(58, 0x55)}), kSilent},  // 65 > 64
      {{0xCA, 0x03}, answer({0xCA, 0x03})},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_EQ(h.send(steps[i].frame), steps[i].expected) << "step " << i;
  }
  EXPECT_NE(h.field.takeAirTrace().find("CA 03 [CRC 06 0A]"), std::string::npos) << "CRC_B";
  EXPECT_EQ(h.field.typeBCard(kPupiA)->state(), TypeBState::Halt);
  EXPECT_EQ(h.send(selectWithCid3), kNoCardThere);

  Harness typeA;
  EXPECT_EQ(h.field.memory(kPupiA), typeA.field.memory(typeA.place("iso14443-4")));
  ASSERT_EQ(h.run(0xB2, {0x00, 0x00}).status, kOk);
  ASSERT_EQ(h.run(0xB3, cat({kPupiA, {0x00, 0x08, 0x01, 0x00, 0}})).status, kOk);
  h.activateIdle();  // a type A instruction: the front end leaves type B
  EXPECT_EQ(h.send({0x02, 0x00, 0xA4, 0x00, 0x0C, 0x02, 0x01, 0x01}), kNoCardThere);
}

TEST(CardsTypeB, CardsDrawTheirOwnSlotsAndEveryOneIsFoundInTheEnd) {
  Harness h;
  for (const auto* pupi : {"01020304", "05060708", "090A0B0C", "0D0E0F10"}) {
    h.place(std::string("typeb:pupi=") + pupi);
  }
  h.place("classic1k:uid=11223344");
  EXPECT_EQ(Harness::uidOf(h.run(0x43, {0x00})), (Bytes{0x11, 0x22, 0x33, 0x44}))
      << "type A activation does not see type B cards";
  std::set<Bytes> found;
  for (int round = 0; round < 8 && found.size() < 4; ++round) {
    std::vector<Reply> slots{h.run(0xB1, {0x00, 0x04})};  // 16 slots
    for (uint8_t slot = 2; slot <= 16; ++slot) slots.push_back(h.run(0xB4, {slot}));
    for (const auto& reply : slots) {
      ASSERT_TRUE(reply.status == kOk || reply.status == kNoCard || reply.status == kCollision);
      if (reply.status != kOk) continue;
      const Bytes pupi(reply.data.begin() + 1, reply.data.begin() + 5);
      found.insert(pupi);
      EXPECT_EQ(h.run(0xB5, pupi).status, kOk);  // halted: stays out of the next rounds
    }
  }
  EXPECT_EQ(found.size(), 4u);
}

}  // namespace
}  // namespace norvexsim::test
