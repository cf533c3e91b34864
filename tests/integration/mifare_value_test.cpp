// SPDX-License-Identifier: MIT
// Mifare Classic value blocks against the simulated reader: the block layout, the checks of a
// value read, value-sector formatting, a purse under the card's value access conditions, and
// the refusals that keep a value block from being written over a trailer or into a sector that
// it would lock.

#include <gtest/gtest.h>

#include <functional>

#include "SimulatorHarness.h"

namespace {

constexpr uint8_t kValue = 0x1B;  // reader instruction of the value operations
constexpr uint8_t kRestore = 0xC2;

constexpr _MIF_KEY_ kPurseKeyA = MakeKey(MIF_KEY_TYPE_A, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5});
constexpr _MIF_KEY_ kPurseKeyB = MakeKey(MIF_KEY_TYPE_B, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5});
const Bytes kValueSectorAcl{0x08, 0x77, 0x8F, 0x00};

Bytes TrailerOf(const _MIF_KEY_& keyA, const Bytes& acl, const _MIF_KEY_& keyB) {
  Bytes trailer(16);
  std::copy_n(keyA.KeyValue, 6, trailer.begin());
  std::copy_n(acl.begin(), 4, trailer.begin() + 6);
  std::copy_n(keyB.KeyValue, 6, trailer.begin() + 10);
  return trailer;
}

using MifcValue = ReaderTest;

TEST_F(MifcValue, CreatedValueHasTheValueBlockLayoutAndReadsBack) {
  const Bytes uid = Place("classic1k");
  ASSERT_EQ(MifC_CreateValue(session, 100, 5, &kTransportKey), 0);
  EXPECT_EQ(Blocks(uid, 5),
            (Bytes{0x64, 0, 0, 0, 0x9B, 0xFF, 0xFF, 0xFF, 0x64, 0, 0, 0, 0x05, 0xFA, 0x05, 0xFA}));
  uint32_t value = 0;
  ASSERT_EQ(GetValue(session, 5, &kTransportKey, &value), 0);
  EXPECT_EQ(value, 100u);
}

// The checks run in a fixed order, so a block damaged in several places reports the first.
TEST_F(MifcValue, GetValueChecksValueCopiesThenAddressCopiesThenTheAddress) {
  const Bytes uid = Place("classic1k");
  ASSERT_EQ(MifC_CreateValue(session, 100, 5, &kTransportKey), 0);
  const Bytes good = Memory(uid);
  struct Case {
    const char* name;
    std::vector<std::pair<unsigned, uint8_t>> changes;  // byte of block 5, new value
    long expected;
  };
  const Case cases[] = {
      {"second value copy", {{8, 0x65}}, NORVEX_E_VB_VALUE_DIFF},
      {"inverted value copy", {{4, 0x9C}}, NORVEX_E_VB_VALUE_DIFF},
      {"address copy", {{14, 0x06}}, NORVEX_E_VB_ADDR_DIFF},
      {"inverted address copy", {{15, 0xFB}}, NORVEX_E_VB_ADDR_DIFF},
      {"another block's address",
       {{12, 6}, {13, 0xF9}, {14, 6}, {15, 0xF9}},
       NORVEX_E_VB_INVALID_ADDR},
      {"value and address both", {{8, 0x65}, {14, 0x06}}, NORVEX_E_VB_VALUE_DIFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes damaged = good;
    for (auto [offset, byte] : c.changes) damaged[16 * 5 + offset] = byte;
    bus->setCardMemory(reader, uid, damaged);
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(GetValue(session, 5, &kTransportKey, &value), c.expected);
    EXPECT_EQ(value, 0xDEADBEEF);
  }
}

TEST_F(MifcValue, FormattingAValueSectorWritesOnlyItsTrailer) {
  const Bytes uid = Place("classic1k");
  Bytes memory = Memory(uid);
  const Bytes data = Pattern(8, 3, 9);
  std::copy(data.begin(), data.end(), memory.begin() + 16 * 8);
  bus->setCardMemory(reader, uid, memory);
  ASSERT_EQ(MifC_FormatValueSector(session, 2, &kPurseKeyA, &kPurseKeyB, &kTransportKey), 0);
  EXPECT_EQ(LoggedBlocks(kWrite), Bytes{11});
  EXPECT_EQ(Blocks(uid, 8, 3), data);
  EXPECT_EQ(Blocks(uid, 11), TrailerOf(kPurseKeyA, kValueSectorAcl, kPurseKeyB));
}

TEST_F(MifcValue, ProcessValueSendsOneValueInstructionTransferringIntoTheSameBlock) {
  PlaceSelected("classic1k");
  ASSERT_EQ(MifC_ProcessValue(session, MIF_VALUE_DECREMENT, 5, 1), NORVEX_E_NO_AUTH_DONE);
  ASSERT_EQ(Instructions(), Bytes{kValue});
  EXPECT_EQ(Log()[0].params, (Bytes{0xC0, 5, 0x01, 0x00, 0x00, 0x00, 5}));
}

// A purse in sector 1: the issuer (key B) loads it, a terminal with key A may only take money
// out (decrement, restore, transfer); the card enforces that, not the library.
TEST_F(MifcValue, PurseLifecycleUnderTheValueAccessConditions) {
  const Bytes uid = Place("classic1k");
  const uint8_t purse = 4;
  ASSERT_EQ(MifC_FormatValueSector(session, 1, &kPurseKeyA, &kPurseKeyB, &kTransportKey), 0);
  ASSERT_EQ(MifC_CreateValue(session, 1000, purse, &kPurseKeyB), 0);
  EXPECT_EQ(MifC_CreateValue(session, 5000, purse, &kPurseKeyA), NORVEX_E_NO_AUTH_ALLOWED);

  ASSERT_EQ(MifC_ProcessValueSingle(session, &kPurseKeyB, MIF_VALUE_INCREMENT, purse, 500), 0);
  ASSERT_EQ(MifC_ProcessValueSingle(session, &kPurseKeyA, MIF_VALUE_DECREMENT, purse, 300), 0);
  EXPECT_EQ(MifC_ProcessValueSingle(session, &kPurseKeyA, MIF_VALUE_INCREMENT, purse, 1),
            NORVEX_E_NO_AUTH_ALLOWED);
  uint8_t selected[4] = {};
  ASSERT_EQ(MifC_GetCard(session, selected), 0);
  ASSERT_EQ(MifC_ProcessValueAuth(session, &kPurseKeyA, selected, kRestore, purse, 0), 0);
  _MIF_KEY_ keyA = kPurseKeyA, keyB = kPurseKeyB;
  ASSERT_EQ(DecrementValue(session, purse, &keyA, 50), 0);
  ASSERT_EQ(IncrementValue(session, purse, &keyB, 25), 0);
  EXPECT_EQ(IncrementValue(session, purse, &keyA, 25), NORVEX_E_NO_AUTH_ALLOWED);

  uint32_t value = 0;
  ASSERT_EQ(GetValue(session, purse, &kPurseKeyA, &value), 0);
  EXPECT_EQ(value, 1000u + 500 - 300 - 50 + 25);
  EXPECT_EQ(Blocks(uid, purse).back(), static_cast<uint8_t>(~purse)) << "address bytes kept";
}

TEST_F(MifcValue, CreateValueBlockInstallsTheValueSectorAndAZeroValue) {
  const Bytes uid = Place("classic4k");
  _MIF_KEY_ key = kTransportKey, keyA = kPurseKeyA, keyB = kPurseKeyB;
  ASSERT_EQ(CreateValueBlock(session, 125, &keyA, &keyB, &key), 0);
  EXPECT_EQ(Blocks(uid, 127), TrailerOf(kPurseKeyA, kValueSectorAcl, kPurseKeyB));
  EXPECT_EQ(Blocks(uid, 125),
            (Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 125, 130, 125, 130}));
}

// Each refusal comes before the card is touched: a trailer written without the value block that
// should follow it would leave the sector reconfigured (or locked) and the value missing.
TEST_F(MifcValue, ValueCreationRefusesWhatItCouldNotFinish) {
  const Bytes uid = Place("classic4k");
  _MIF_KEY_ key = kTransportKey, keyA = kPurseKeyA, keyB = kPurseKeyB;
  _MIF_KEY_ otherA = MakeKey(MIF_KEY_TYPE_A, {1, 2, 3, 4, 5, 6});
  void* s = session;
  const std::tuple<const char*, long, std::function<long()>> cases[] = {
      {"block of a 16-block sector", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return CreateValueBlock(s, 130, &keyA, &keyB, &key); }},
      {"trailer as value block", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return CreateValueBlock(s, 7, &keyA, &keyB, &key); }},
      {"manufacturer block", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return CreateValueBlock(s, 0, &keyA, &keyB, &key); }},
      {"two keys A", NORVEX_E_INVALID_KEYS,
       [&] { return CreateValueBlock(s, 5, &keyA, &otherA, &key); }},
      {"new key B first", NORVEX_E_INVALID_KEYS,
       [&] { return CreateValueBlock(s, 5, &keyB, &keyA, &key); }},
      {"MifC_CreateValue on a trailer", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return MifC_CreateValue(s, 1, 7, &kTransportKey); }},
      {"MifC_CreateValue on a 4K trailer", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return MifC_CreateValue(s, 1, 143, &kTransportKey); }},
  };
  const Bytes memory = Memory(uid);
  for (const auto& [name, expected, call] : cases) {
    SCOPED_TRACE(name);
    ClearLog();
    EXPECT_EQ(call(), expected);
    EXPECT_TRUE(Log().empty());
  }
  EXPECT_EQ(Memory(uid), memory);
}

}  // namespace
