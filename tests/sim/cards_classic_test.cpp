// SPDX-License-Identifier: MIT
// Mifare Classic in the simulated field: authentication outcomes and what the card forgets,
// malformed instructions, and value blocks: their format checks, arithmetic and transfer targets.

#include <functional>

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x11, 0x22, 0x33, 0x44};
constexpr uint8_t kIncrement = 0xC1, kDecrement = 0xC0, kRestore = 0xC2;

TEST(CardsClassicAuth, AuthenticationOutcomes) {
  struct Case {
    const char* name;
    uint8_t keyType;
    Bytes serial;
    MifareKey key;
    uint8_t block;
    int8_t expected;
  };
  const Case cases[] = {
      {"key A of the sector", kKeyA, kUid, kKeyValueA, 4, kOk},
      {"key B of the sector", kKeyB, kUid, kKeyValueB, 7, kOk},
      {"key A of another sector", kKeyA, kUid, kFactoryKey, 4, kAuthError},
      {"key B offered as key A", kKeyA, kUid, kKeyValueB, 5, kAuthError},
      {"another card's serial number", kKeyA, {0x11, 0x22, 0x33, 0x45}, kKeyValueA, 4, kWrongCard},
      {"block beyond a 1K card", kKeyA, kUid, kFactoryKey, 64, kAuthError},
      {"unknown key type", 0x62, kUid, kKeyValueA, 4, kBadFrame},
  };
  for (const auto& c : cases) {
    Harness h;
    h.place("classic1k:uid=11223344");
    // Sector 1 with its own keys; trailer condition 011 keeps key B secret (usable).
    h.setTrailer(kUid, 7, kKeyValueA, Harness::access({0, 0, 0, 3}), kKeyValueB);
    ASSERT_EQ(h.select(kUid).status, kOk);
    EXPECT_EQ(h.auth(c.keyType, c.serial, c.key, c.block).status, c.expected) << c.name;
    CardState after =
        c.expected == kOk || c.expected == kBadFrame ? CardState::Active : CardState::Idle;
    EXPECT_EQ(h.field.state(kUid), after)
        << c.name << ": a failed authentication ends the selection, a refused instruction not";
  }
}

TEST(CardsClassicAuth, AuthenticationOpensOneSectorAndHaltForgetsIt) {
  Harness h;
  h.place("classic1k:uid=11223344");
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 6).status, kOk);
  EXPECT_EQ(h.read(7).status, kOk);
  EXPECT_EQ(h.read(8).status, kNotAuthenticated) << "sector 2 was not authenticated";
  EXPECT_EQ(h.read(4).status, kNoCard) << "after the NAK the card is IDLE";

  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  ASSERT_EQ(h.halt().status, kOk);
  ASSERT_EQ(h.activateWakeup(kUid).status, kOk);
  EXPECT_EQ(h.read(4).status, kNotAuthenticated);
}

TEST(CardsClassic, MalformedInstructionsAnswerBadFrameAndNeverReachTheCard) {
  Bytes badKey = bytes(encodeKey(kFactoryKey));
  badKey[0] = 0xFF;  // F in both halves: no nibble beside its complement
  const std::vector<std::pair<uint8_t, Bytes>> cases = {
      {0x12, {0, 0, 0, 0}},
      {0x13, {1, 2, 3}},
      {0x41, {0x99, 0, 0, 0, 0, 0}},
      {0x19, {}},
      {0x1A, Bytes(16, 0)},
      {0x44, {0, 4, 1, 2, 3}},
      {0x18, Bytes(17, 0)},
      {0x18, cat({{kKeyA}, kUid, badKey, {4}})},
      {0x1B, {kIncrement, 5, 1, 0, 0, 0}},
      {0x1C, {kIncrement, 5, 1, 0, 0, 0, 5}},
  };
  Harness h;
  h.place("classic1k:uid=11223344");
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  for (const auto& [code, params] : cases) {
    EXPECT_EQ(h.run(code, params).status, kBadFrame) << int(code) << ", " << params.size();
  }
  EXPECT_EQ(h.field.state(kUid), CardState::Active) << "malformed instructions stay in the reader";
  EXPECT_EQ(h.read(5).status, kOk) << "and leave the authentication alone";
}

class ClassicValue : public ::testing::Test {
 protected:
  void SetUp() override {
    h.place("classic1k:uid=11223344");
    h.setBlock(kUid, 5, valueBlock(100, 5));
  }
  Reply onSector1(const std::function<Reply()>& operation) {
    EXPECT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
    return operation();
  }
  Harness h;
};

TEST_F(ClassicValue, ArithmeticIsModulo2To32AndRestoreCopiesTheAddress) {
  h.setBlock(kUid, 5, valueBlock(0, 5));
  EXPECT_EQ(onSector1([&] { return h.value(kDecrement, 5, 1, 5); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(0xFFFFFFFF, 5));
  EXPECT_EQ(onSector1([&] { return h.value(kIncrement, 5, 2, 5); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(1, 5));
  EXPECT_EQ(onSector1([&] { return h.value(kRestore, 5, 0, 6); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 6), valueBlock(1, 5)) << "the address bytes travel with the value";
  // The debit form transfers back into the block itself.
  EXPECT_EQ(onSector1([&] { return h.run(0x1C, {kDecrement, 5, 1, 0, 0, 0}); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(0, 5));
}

TEST_F(ClassicValue, MalformedValueBlocksAreRefusedAndKept) {
  // First value, inverted value, second value, then each of the four address bytes.
  for (size_t damaged : {0u, 5u, 11u, 12u, 13u, 14u, 15u}) {
    Bytes block = valueBlock(100, 5);
    block[damaged] ^= 0x01;
    h.setBlock(kUid, 5, block);
    for (uint8_t op : {kIncrement, kDecrement, kRestore}) {
      EXPECT_EQ(onSector1([&] { return h.value(op, 5, 1, 5); }).status, kCardByte)
          << "byte " << damaged << ", op " << int(op);
      EXPECT_EQ(h.block(kUid, 5), block) << "byte " << damaged;
    }
  }
  h.setBlock(kUid, 5, Bytes(16, 0));
  EXPECT_EQ(onSector1([&] { return h.value(kIncrement, 5, 1, 5); }).status, kCardByte)
      << "an all-zero block is no value block";
}

TEST_F(ClassicValue, TransferTargetsAreChecked) {
  struct Case {
    const char* name;
    uint8_t operation, block, transfer;
    int8_t expected;
  };
  const Case cases[] = {
      {"target in another sector", kIncrement, 5, 8, kNotAuthenticated},
      {"target is the trailer", kIncrement, 5, 7, kAuthError},
      {"source is the trailer", kRestore, 7, 5, kAuthError},
      {"source in another sector", kDecrement, 9, 5, kNotAuthenticated},
      {"not a value command", 0xB0, 5, 5, kCardByte},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(onSector1([&] { return h.value(c.operation, c.block, 1, c.transfer); }).status,
              c.expected)
        << c.name;
    EXPECT_EQ(h.block(kUid, 5), valueBlock(100, 5)) << c.name << ": nothing transferred";
  }
  h.setBlock(kUid, 1, valueBlock(7, 1));
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 0).status, kOk);
  EXPECT_EQ(h.value(kRestore, 1, 0, 0).status, kAuthError) << "block 0 is read-only";
  EXPECT_EQ(h.block(kUid, 0)[0], 0x11);
}

}  // namespace
}  // namespace norvexsim::test
