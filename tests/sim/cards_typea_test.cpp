// SPDX-License-Identifier: MIT
// ISO 14443-3 type A in the simulated field: anticollision among several cards (including
// double-size UIDs and their cascade levels), halt and wake-up, and the activation instructions.

#include <set>

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUidA{0x11, 0x22, 0x33, 0x44};
const Bytes kUidB{0x10, 0x22, 0x33, 0x44};  // differs from A only in bit 0 of byte 0
const Bytes kUid7{0x04, 0x51, 0x62, 0x73, 0x84, 0x95, 0xA6};

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
  const Bytes other{0x04, 0x51, 0x62, 0x10, 0x20, 0x30, 0x40};
  h.place("classic1k:uid=045162738495A6");
  h.place("classic1k:uid=04516210203040");
  EXPECT_EQ(h.run(0x11, {0x26}).data, (Bytes{0x44, 0x00}));
  EXPECT_EQ(h.run(0x12, {0, 0, 0, 0, 0}).data, (Bytes{0x88, 0x04, 0x51, 0x62}));
  EXPECT_EQ(h.run(0x13, {0x88, 0x04, 0x51, 0x62}).data, Bytes{0x04}) << "cascade bit";
  EXPECT_EQ(h.field.state(kUid7), CardState::Ready);
  Reply level2 = h.run(0x41, {0x95, 0, 0, 0, 0, 0});
  ASSERT_EQ(level2.status, kOk);
  EXPECT_EQ(h.run(0x42, cat({{0x95}, level2.data})).data, Bytes{0x08});
  const bool first = level2.data == last4(kUid7);
  EXPECT_EQ(level2.data, last4(first ? kUid7 : other));
  EXPECT_EQ(h.field.state(first ? kUid7 : other), CardState::Active);
  EXPECT_EQ(h.field.state(first ? other : kUid7), CardState::Idle);
}

// Each activation reports the activated card's own ATQ, SAK and UID.
TEST(CardsTypeA, HaltedCardsLetTheNextIdleSelectionFindTheOthers) {
  Harness h;
  h.place("classic1k:uid=11223344");
  h.place("classic1k:uid=10223344");
  h.place("classic4k:uid=045162738495A6");
  EXPECT_EQ(h.run(0x40, {0x26}).data, (Bytes{0x46, 0x00})) << "REQA hears the ATQs superposed";
  std::set<Bytes> found;
  for (int i = 0; i < 3; ++i) {
    Reply reply = h.activateIdle();
    ASSERT_EQ(reply.status, kOk);
    found.insert(reply.data);
    EXPECT_EQ(h.halt().status, kOk);
  }
  EXPECT_EQ(found, (std::set<Bytes>{cat({{0x04, 0x00, 0x08, 4}, kUidA}),
                                    cat({{0x04, 0x00, 0x08, 4}, kUidB}),
                                    cat({{0x42, 0x00, 0x18, 7}, kUid7})}));
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

}  // namespace
}  // namespace norvexsim::test
