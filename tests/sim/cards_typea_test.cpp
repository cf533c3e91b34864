// ISO 14443-3 type A in the simulated field: card states, anticollision among several cards
// (including double-size UIDs and cascade levels), selection, halt and the activation
// instructions.

#include <set>

#include "CardsHarness.h"
#include "sim/cards/MifareClassic.h"

namespace norvexsim::test {
namespace {

const Bytes kUidA{0x11, 0x22, 0x33, 0x44};
const Bytes kUidB{0x10, 0x22, 0x33, 0x44};  // differs from A only in bit 0 of byte 0
const Bytes kUid7{0x04, 0x51, 0x62, 0x73, 0x84, 0x95, 0xA6};

// --- The state machine of one card -----------------------------------------------------------

enum class Event { Reqa, Wupa, SelectOwn, SelectOther, Halt, Command, FieldReset };

void drive(Card& card, Event event) {
  switch (event) {
    case Event::Reqa:
      card.onRequest(false);
      break;
    case Event::Wupa:
      card.onRequest(true);
      break;
    case Event::SelectOwn:
      card.onAnticollision(1);
      card.onSelect(1, card.cascadeBytes(1));
      break;
    case Event::SelectOther:
      card.onSelect(1, {1, 2, 3, 4});
      break;
    case Event::Halt:
      card.onHalt();
      break;
    case Event::Command:
      card.onCommandFrame();
      break;
    case Event::FieldReset:
      card.onFieldReset();
      break;
  }
}

struct StateCase {
  const char* name;
  std::vector<Event> history;
  Event event;
  CardState expected;
};

TEST(CardsTypeA, StateTransitionsFollowIso14443_3) {
  using E = Event;
  using S = CardState;
  const StateCase cases[] = {
      {"REQA wakes an IDLE card", {}, E::Reqa, S::Ready},
      {"REQA leaves a halted card halted", {E::Reqa, E::SelectOwn, E::Halt}, E::Reqa, S::Halt},
      {"WUPA wakes a halted card", {E::Reqa, E::SelectOwn, E::Halt}, E::Wupa, S::Ready},
      {"select of its UID activates", {E::Reqa}, E::SelectOwn, S::Active},
      {"select of another UID sends READY back to IDLE", {E::Reqa}, E::SelectOther, S::Idle},
      {"a card woken from HALT falls back to HALT",
       {E::Reqa, E::SelectOwn, E::Halt, E::Wupa},
       E::SelectOther,
       S::Halt},
      {"a request knocks an ACTIVE card back to IDLE", {E::Reqa, E::SelectOwn}, E::Reqa, S::Idle},
      {"HLTA halts the ACTIVE card", {E::Wupa, E::SelectOwn}, E::Halt, S::Halt},
      {"HLTA does not halt a READY card", {E::Reqa}, E::Halt, S::Idle},
      {"a command frame leaves the ACTIVE card active",
       {E::Reqa, E::SelectOwn},
       E::Command,
       S::Active},
      {"a command frame sends READY cards back", {E::Reqa}, E::Command, S::Idle},
      {"an RF reset makes a halted card IDLE",
       {E::Reqa, E::SelectOwn, E::Halt},
       E::FieldReset,
       S::Idle},
  };
  for (const auto& c : cases) {
    MifareClassic card(ClassicModel::k1K, kUidA, {0x04, 0x00}, 0x08);
    for (Event e : c.history) drive(card, e);
    drive(card, c.event);
    EXPECT_EQ(card.state(), c.expected) << c.name;
  }
}

// --- Activation instructions -----------------------------------------------------------------

TEST(CardsTypeA, ActivationAnswersAtqSakLengthAndUid) {
  Harness single;
  single.place("classic1k:uid=11223344");
  Reply reply = single.activateIdle();
  ASSERT_EQ(reply.status, kOk);
  EXPECT_EQ(reply.data, (Bytes{0x04, 0x00, 0x08, 4, 0x11, 0x22, 0x33, 0x44}));

  Harness dbl;
  dbl.place("classic4k:uid=045162738495A6");
  reply = dbl.activateIdle();
  ASSERT_EQ(reply.status, kOk);
  EXPECT_EQ(reply.data, cat({{0x42, 0x00, 0x18, 7}, kUid7}));
  EXPECT_EQ(dbl.field.state(kUid7), CardState::Active);
}

TEST(CardsTypeA, DoubleSizeUidGoesThroughTwoCascadeLevels) {
  Harness h;
  h.place("classic1k:uid=045162738495A6");
  EXPECT_EQ(h.run(0x11, {0x26}).data, (Bytes{0x44, 0x00}));
  Reply level1 = h.run(0x12, {0, 0, 0, 0, 0});
  EXPECT_EQ(level1.data, (Bytes{0x88, 0x04, 0x51, 0x62}));
  EXPECT_EQ(h.run(0x13, level1.data).data, Bytes{0x04}) << "cascade bit: UID not complete";
  EXPECT_EQ(h.field.state(kUid7), CardState::Ready);
  Reply level2 = h.run(0x41, {0x95, 0, 0, 0, 0, 0});
  EXPECT_EQ(level2.data, (Bytes{0x73, 0x84, 0x95, 0xA6}));
  EXPECT_EQ(h.run(0x42, cat({{0x95}, level2.data})).data, Bytes{0x08});
  EXPECT_EQ(h.field.state(kUid7), CardState::Active);
}

TEST(CardsTypeA, AnticollisionPicksOneCardByItsUidBits) {
  Harness h;
  h.place("classic1k:uid=11223344");
  h.place("classic1k:uid=10223344");
  ASSERT_EQ(h.run(0x11, {0x26}).status, kOk);
  // The UIDs first differ in bit 0 of byte 0; the reader goes on with bit value 1.
  EXPECT_EQ(h.run(0x12, {0, 0, 0, 0, 0}).data, kUidA);
  // Known bits steer the loop: one known bit 0 leaves only B.
  EXPECT_EQ(h.run(0x12, {1, 0x00, 0, 0, 0}).data, kUidB);
  EXPECT_EQ(h.run(0x12, cat({{32}, kUidB})).data, kUidB);
  EXPECT_EQ(h.run(0x12, {8, 0x55, 0, 0, 0}).status, kNoCard) << "no UID starts with 55";
  EXPECT_EQ(h.run(0x12, {33, 0, 0, 0, 0}).status, kBadFrame);

  EXPECT_EQ(h.run(0x13, kUidB).data, Bytes{0x08});
  EXPECT_EQ(h.field.state(kUidB), CardState::Active);
  EXPECT_EQ(h.field.state(kUidA), CardState::Idle) << "not addressed by the select";
}

TEST(CardsTypeA, DoubleSizeUidsSharingTheFirstLevelSeparateAtTheSecond) {
  Harness h;
  const Bytes first{0x04, 0x51, 0x62, 0x73, 0x84, 0x95, 0xA6};
  const Bytes second{0x04, 0x51, 0x62, 0x10, 0x20, 0x30, 0x40};
  h.place("classic1k:uid=045162738495A6");
  h.place("classic1k:uid=04516210203040");
  ASSERT_EQ(h.run(0x11, {0x26}).status, kOk);
  EXPECT_EQ(h.run(0x12, {0, 0, 0, 0, 0}).data, (Bytes{0x88, 0x04, 0x51, 0x62}));
  EXPECT_EQ(h.run(0x13, {0x88, 0x04, 0x51, 0x62}).data, Bytes{0x04});
  Reply level2 = h.run(0x41, {0x95, 0, 0, 0, 0, 0});
  ASSERT_EQ(level2.status, kOk);
  EXPECT_EQ(h.run(0x42, cat({{0x95}, level2.data})).data, Bytes{0x08});
  const Bytes& winner = level2.data == last4(first) ? first : second;
  const Bytes& loser = level2.data == last4(first) ? second : first;
  EXPECT_EQ(last4(winner), level2.data);
  EXPECT_EQ(h.field.state(winner), CardState::Active);
  EXPECT_EQ(h.field.state(loser), CardState::Idle);
}

TEST(CardsTypeA, HaltedCardsLetTheNextIdleSelectionFindTheOthers) {
  Harness h;
  h.place("classic1k:uid=11223344");
  h.place("classic1k:uid=10223344");
  h.place("classic4k:uid=045162738495A6");
  std::set<Bytes> found;
  for (int i = 0; i < 3; ++i) {
    Reply reply = h.activateIdle();
    ASSERT_EQ(reply.status, kOk);
    found.insert(Harness::uidOf(reply));
    EXPECT_EQ(h.halt().status, kOk);
  }
  EXPECT_EQ(found, (std::set<Bytes>{kUidA, kUidB, kUid7}));
  EXPECT_EQ(h.activateIdle().status, kNoCard) << "REQA does not wake halted cards";
  EXPECT_EQ(h.halt().status, kNoCard) << "no selected card to halt";

  Reply woken = h.activateWakeup(kUidB);
  ASSERT_EQ(woken.status, kOk);
  EXPECT_EQ(Harness::uidOf(woken), kUidB);
  EXPECT_EQ(h.field.state(kUidA), CardState::Halt) << "woken by WUPA, not selected: HALT again";
  EXPECT_EQ(h.activateWakeup({}).status, kOk) << "length 0 wakes any card";
  EXPECT_EQ(h.activateWakeup({0x01, 0x02, 0x03, 0x04}).status, kNoCard);
  EXPECT_EQ(h.activateWakeup({0x01, 0x02, 0x03, 0x04, 0x05}).status, kBadFrame);

  h.field.rfReset();
  for (const auto& uid : {kUidA, kUidB, kUid7}) EXPECT_EQ(h.field.state(uid), CardState::Idle);
}

TEST(CardsTypeA, IdleSelectionsWithoutHaltAlternateBetweenCards) {
  // Each request knocks the card selected last back to IDLE, so the other card answers alone.
  Harness h;
  h.place("classic1k:uid=11223344");
  h.place("classic1k:uid=10223344");
  Bytes first = Harness::uidOf(h.activateIdle());
  Bytes second = Harness::uidOf(h.activateIdle());
  Bytes third = Harness::uidOf(h.activateIdle());
  EXPECT_NE(first, second);
  EXPECT_EQ(first, third);
}

TEST(CardsTypeA, ActivationReportsTheActivatedCardsOwnAtq) {
  // REQA hears 04 00 and 02 00 collide; the activation still tells a 1K from a 4K.
  Harness h;
  h.place("classic1k:uid=11223344");
  h.place("classic4k:uid=21223344");
  std::set<Bytes> answers;
  for (int i = 0; i < 2; ++i) {
    Reply reply = h.activateIdle();
    ASSERT_EQ(reply.status, kOk);
    answers.insert(Bytes(reply.data.begin(), reply.data.begin() + 3));
    h.halt();
  }
  EXPECT_EQ(answers, (std::set<Bytes>{{0x04, 0x00, 0x08}, {0x02, 0x00, 0x18}}));
}

TEST(CardsTypeA, RequestsOfTheReader) {
  Harness h;
  h.place("classic1k:uid=11223344");
  h.place("classic4k:uid=21223344");
  EXPECT_EQ(h.run(0x40, {0x26}).data, (Bytes{0x06, 0x00})) << "ATQs superpose";
  h.field.removeAll();

  h.place("classic1k:uid=11223344");
  ASSERT_EQ(h.activateIdle().status, kOk);
  // The first request knocks the ACTIVE card back to IDLE; the firmware's second one finds it.
  EXPECT_EQ(h.run(0x11, {0x52}).data, (Bytes{0x04, 0x00}));
  ASSERT_EQ(h.activateIdle().status, kOk);
  ASSERT_EQ(h.halt().status, kOk);
  EXPECT_EQ(h.run(0x11, {0x26}).status, kNoCard);
  EXPECT_EQ(h.run(0x11, {0x52}).status, kOk);
  EXPECT_EQ(h.run(0x11, {0x30}).status, kNoCard) << "not a request code";
  EXPECT_EQ(h.run(0x11, {}).status, kBadFrame);
}

TEST(CardsTypeA, EmptyFieldAnswersNoCard) {
  Harness h;
  EXPECT_EQ(h.run(0x11, {0x26}).status, kNoCard);
  EXPECT_EQ(h.activateIdle().status, kNoCard);
  EXPECT_EQ(h.run(0x12, {0, 0, 0, 0, 0}).status, kNoCard);
  EXPECT_EQ(h.run(0x13, kUidA).status, kNoCard);
  EXPECT_EQ(h.read(4).status, kNoCard);
}

}  // namespace
}  // namespace norvexsim::test
