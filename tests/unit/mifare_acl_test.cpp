// SPDX-License-Identifier: MIT
// Mifare Classic access-condition codec: MifACL and the exported ACL_ functions.
// Expected rows are the published Mifare Classic 1K/4K access-condition tables (NXP MF1S50yy
// datasheet, "Access conditions for the sector trailer" and "for data blocks"), as privilege masks.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>

#include "mifare/MifACL.h"
#include "norvexapi.h"

namespace {

// A copyable, comparable holder for the 4 access bytes (trailer bytes 6 to 9).
struct Acl {
  MIF_ACL_BYTES bytes;
  bool operator==(const Acl&) const = default;
  std::uint8_t& operator[](int i) { return bytes[i]; }
  std::uint8_t operator[](int i) const { return bytes[i]; }
};

Acl Copy(const MIF_ACL_BYTES& bytes) {
  Acl acl;
  std::copy_n(bytes, sizeof acl.bytes, acl.bytes);
  return acl;
}

struct Privileges {
  std::uint32_t keyA;
  std::uint32_t keyB;
  bool operator==(const Privileges&) const = default;
};

constexpr Privileges kDataRows[8] = {
    {0x0F, 0x0F}, {0x09, 0x09}, {0x01, 0x01}, {0x00, 0x03},
    {0x01, 0x03}, {0x00, 0x01}, {0x09, 0x0F}, {0x00, 0x00},
};
constexpr Privileges kTrailerRows[8] = {
    {0x36, 0x00}, {0x3E, 0x00}, {0x14, 0x00}, {0x04, 0x2E},
    {0x04, 0x26}, {0x04, 0x0C}, {0x04, 0x04}, {0x04, 0x04},
};

// Starting records: all bits clear, all set, and a mixed pattern; byte 9 never zero.
constexpr Acl kStarts[] = {
    {{0x00, 0x00, 0x00, 0xA5}}, {{0xFF, 0xFF, 0xFF, 0xFF}}, {{0xA5, 0x5A, 0xC3, 0x3C}}};

// Independent reading of the access-bit layout: C1 byte 7 bit 4+b, C2 byte 8 bit b, C3 byte 8
// bit 4+b; inverted C1 byte 6 bit b, inverted C2 byte 6 bit 4+b, inverted C3 byte 7 bit b.
int Bit(const Acl& acl, int byte, int bit) {
  return (acl[byte] >> bit) & 1;
}

int TrueIndex(const Acl& acl, int b) {
  return Bit(acl, 1, 4 + b) << 2 | Bit(acl, 2, b) << 1 | Bit(acl, 2, 4 + b);
}

int InvertedIndex(const Acl& acl, int b) {
  return Bit(acl, 0, b) << 2 | Bit(acl, 0, 4 + b) << 1 | Bit(acl, 1, b);
}

// Every bit of the record that does not belong to block b.
Acl OtherBlocks(Acl acl, int b) {
  const auto blockMask = static_cast<std::uint8_t>((1u << b) | (1u << (4 + b)));
  for (int i = 0; i < 3; ++i) acl[i] = static_cast<std::uint8_t>(acl[i] & ~blockMask);
  return acl;
}

void ExpectBlockEncodes(const Acl& start, const Acl& acl, int b, int index) {
  EXPECT_EQ(TrueIndex(acl, b), index);
  EXPECT_EQ(InvertedIndex(acl, b), 7 - index) << "inverted copies must complement the bits";
  EXPECT_EQ(OtherBlocks(acl, b), OtherBlocks(start, b)) << "other blocks or byte 9 changed";
}

// Every row of both tables, generated on every block (3 is the trailer) from each start record,
// then parsed back.
TEST(MifACL, EveryRowRoundTripsOnEveryBlock) {
  const MifACL codec;
  for (std::uint32_t row = 0; row < 8; ++row) {
    Privileges data{0xDEAD, 0xBEEF}, trailer{0xDEAD, 0xBEEF};
    ASSERT_EQ(codec.GetValidDataSecPrivs(row, data.keyA, data.keyB), 0);
    ASSERT_EQ(codec.GetValidTrailerPrivs(row, trailer.keyA, trailer.keyB), 0);
    EXPECT_EQ(data, kDataRows[row]) << "row " << row;
    EXPECT_EQ(trailer, kTrailerRows[row]) << "row " << row;
    for (std::uint32_t block = 0; block < 4; ++block) {
      const bool isTrailer = block == 3;
      const auto [keyA, keyB] = isTrailer ? trailer : data;
      // Trailer rows 6 and 7 share their masks; the first matching row wins.
      const int index = isTrailer && row == 7 ? 6 : static_cast<int>(row);
      for (const auto& start : kStarts) {
        SCOPED_TRACE(testing::Message() << "row " << row << " block " << block);
        Acl acl = start;
        ASSERT_EQ(isTrailer ? codec.GenTrailerConditons(acl.bytes, keyA, keyB)
                            : codec.GenDataConditons(block, acl.bytes, keyA, keyB),
                  index);
        ExpectBlockEncodes(start, acl, static_cast<int>(block), index);
        std::uint32_t parsedA = 0xFFFF, parsedB = 0xFFFF;
        EXPECT_EQ(isTrailer ? codec.ParseTrailerConditions(acl.bytes, parsedA, parsedB)
                            : codec.ParseDataConditions(block, acl.bytes, parsedA, parsedB),
                  index);
        EXPECT_EQ(parsedA, keyA);
        EXPECT_EQ(parsedB, keyB);
      }
    }
  }
}

TEST(AclExports, GenerateKnownBytes) {
  constexpr int kTrailer = 3;
  struct Case {
    int block;
    Privileges privileges;
    int index;
    std::array<unsigned char, 4> expected;
  };
  const Case cases[] = {
      {1, {0x01, 0x03}, 4, {0xFD, 0x27, 0x80, 0x00}},
      {0, {0x09, 0x0F}, 6, {0xEE, 0x17, 0x81, 0x00}},
      {kTrailer, {0x04, 0x04}, 6, {0x77, 0x8F, 0x08, 0x00}},
      {kTrailer, {0x04, 0x2E}, 3, {0x7F, 0x07, 0x88, 0x00}},
  };
  for (const auto& c : cases) {
    std::array<unsigned char, 4> acl{0xFF, 0x07, 0x80, 0x00};
    const auto [keyA, keyB] = c.privileges;
    const int32_t index = c.block == kTrailer
                              ? ACL_GenTrailerConditions(acl.data(), keyA, keyB)
                              : ACL_GenDataConditions(c.block, acl.data(), keyA, keyB);
    EXPECT_EQ(index, c.index) << "block " << c.block;
    EXPECT_EQ(acl, c.expected) << "block " << c.block;
  }
}

TEST(AclExports, RefusedRequestsLeaveEverythingUntouched) {
  const std::array<unsigned char, 4> original{0xFF, 0x07, 0x80, 0x69};
  auto acl = original;
  std::uint32_t keyA = 0xAAAA, keyB = 0xBBBB;
  const std::pair<const char*, int32_t> refused[] = {
      {"pair in no data row", ACL_GenDataConditions(0, acl.data(), 0x02, 0x00)},
      {"trailer is no data block", ACL_GenDataConditions(3, acl.data(), 0x0F, 0x0F)},
      {"key A is never readable", ACL_GenTrailerConditions(acl.data(), 0x01, 0x00)},
      {"no data block 3", ACL_ParseDataConditions(3, acl.data(), &keyA, &keyB)},
      {"data row 8", ACL_GetValidDataSecPrivs(8, &keyA, &keyB)},
      {"trailer row 8", ACL_GetValidTrailerPrivs(8, &keyA, &keyB)},
      {"data row ~0", ACL_GetValidDataSecPrivs(0xFFFFFFFFu, &keyA, &keyB)},
      {"trailer row ~0", ACL_GetValidTrailerPrivs(0xFFFFFFFFu, &keyA, &keyB)},
      {"null bytes", ACL_GenDataConditions(0, nullptr, 0x0F, 0x0F)},
      {"null trailer bytes", ACL_GenTrailerConditions(nullptr, 0x04, 0x04)},
      {"null parse bytes", ACL_ParseDataConditions(0, nullptr, &keyA, &keyB)},
      {"null key A", ACL_ParseDataConditions(0, acl.data(), nullptr, &keyB)},
      {"null key B", ACL_ParseTrailerConditions(acl.data(), &keyA, nullptr)},
      {"null data key A", ACL_GetValidDataSecPrivs(0, nullptr, &keyB)},
      {"null trailer key B", ACL_GetValidTrailerPrivs(0, &keyA, nullptr)},
  };
  for (const auto& [name, result] : refused) EXPECT_EQ(result, -1) << name;
  EXPECT_EQ(acl, original);
  EXPECT_EQ((Privileges{keyA, keyB}), (Privileges{0xAAAA, 0xBBBB}));

  EXPECT_EQ(ACL_GetValidDataSecPrivs(7, &keyA, &keyB), 0);
  EXPECT_EQ((Privileges{keyA, keyB}), (Privileges{0x00, 0x00}));
  EXPECT_EQ(ACL_GetValidTrailerPrivs(7, &keyA, &keyB), 0);
  EXPECT_EQ((Privileges{keyA, keyB}), (Privileges{0x04, 0x04}));
}

// The named constants are the records of the rows they are documented with, built by the codec
// and parsed back through the exports. Parsing reads the true bits only, so a record whose inverted
// copies are wrong (all zero) still parses.
TEST(MifACL, NamedAccessBytesAndParsing) {
  const std::tuple<const char*, Acl, int, int, bool> cases[] = {
      {"baClearACL", Copy(baClearACL), 0, 1, true},
      {"ba_MAD_ACL", Copy(ba_MAD_ACL), 4, 3, true},
      {"ba_MAD_T_ACL", Copy(ba_MAD_T_ACL), 6, 3, true},
      {"factory bytes", {{0xFF, 0x07, 0x80, 0x69}}, 0, 1, false},
      {"all zero", {{0x00, 0x00, 0x00, 0x00}}, 0, 0, false},
  };
  const MifACL codec;
  for (const auto& [name, bytes, dataRow, trailerRow, build] : cases) {
    SCOPED_TRACE(name);
    Acl built{{0, 0, 0, 0}};
    for (std::uint32_t block = 0; block < 3; ++block) {
      const auto [keyA, keyB] = kDataRows[dataRow];
      if (build) {
        EXPECT_EQ(codec.GenDataConditons(block, built.bytes, keyA, keyB), dataRow);
      }
      Privileges parsed{};
      EXPECT_EQ(ACL_ParseDataConditions(block, bytes.bytes, &parsed.keyA, &parsed.keyB), dataRow);
      EXPECT_EQ(parsed, kDataRows[dataRow]);
    }
    const auto [keyA, keyB] = kTrailerRows[trailerRow];
    Privileges parsed{};
    EXPECT_EQ(ACL_ParseTrailerConditions(bytes.bytes, &parsed.keyA, &parsed.keyB), trailerRow);
    EXPECT_EQ(parsed, kTrailerRows[trailerRow]);
    if (!build) continue;
    EXPECT_EQ(codec.GenTrailerConditons(built.bytes, keyA, keyB), trailerRow);
    EXPECT_EQ(built, bytes);
  }
}

// The all-blocks form writes blocks 0 to 2; condition 7 (no access) is refused only after block 0
// is written.
TEST(MifACL, AllBlocksForm) {
  const MifACL codec;
  const Acl clear = Copy(baClearACL);
  Acl acl = clear;
  EXPECT_EQ(codec.GenDataConditons(acl.bytes, 0x01, 0x03), 0);
  for (int b = 0; b < 3; ++b) EXPECT_EQ(TrueIndex(acl, b), 4) << "block " << b;
  EXPECT_EQ(TrueIndex(acl, 3), 1);

  acl = clear;
  EXPECT_EQ(codec.GenDataConditons(acl.bytes, 0x02, 0x00), -1);
  EXPECT_EQ(acl, clear);

  EXPECT_EQ(codec.GenDataConditons(acl.bytes, 0x00, 0x00), -1);
  ExpectBlockEncodes(clear, acl, 0, 7);
}

}  // namespace
