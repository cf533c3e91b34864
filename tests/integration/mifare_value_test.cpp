// SPDX-License-Identifier: MIT
// Mifare Classic value blocks against the simulated reader: the block layout, the checks of a
// value read, value-sector formatting and a purse under the card's value access conditions. The
// refusals of value creation are in the table of mifare_legacy_test.cpp.

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

// The value block layout: value, its inverse, value again, then address, inverse, address,
// inverse. MifC_CreateValue leaves the trailer as it is; CreateValueBlock installs the value
// sector's trailer.
TEST_F(MifcValue, ValueCreatorsWriteTheValueBlockLayout) {
  const Bytes uid = Place("classic4k");
  _MIF_KEY_ key = kTransportKey, keyA = kPurseKeyA, keyB = kPurseKeyB;
  const struct {
    const char* name;
    std::function<long()> create;
    uint8_t block;
    Bytes value;
    Bytes trailer;
  } cases[] = {
      {"MifC_CreateValue of 100 in block 5",
       [&] { return MifC_CreateValue(session, 100, 5, &kTransportKey); },
       5,
       {0x64, 0, 0, 0, 0x9B, 0xFF, 0xFF, 0xFF, 0x64, 0, 0, 0, 0x05, 0xFA, 0x05, 0xFA},
       TrailerOf(kTransportKey, {0xFF, 0x07, 0x80, 0x69}, kTransportKey)},
      {"CreateValueBlock in block 125",
       [&] { return CreateValueBlock(session, 125, &keyA, &keyB, &key); },
       125,
       {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 125, 130, 125, 130},
       TrailerOf(kPurseKeyA, kValueSectorAcl, kPurseKeyB)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.create(), 0);
    EXPECT_EQ(Blocks(uid, c.block), c.value);
    EXPECT_EQ(Blocks(uid, c.block | 3), c.trailer);
  }
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

}  // namespace
