// Mifare Classic access-condition codec: MifACL and the exported ACL_ functions.
// Expected rows are the published Mifare Classic 1K/4K access-condition tables (NXP MF1S50yy
// datasheet, "Access conditions for the sector trailer" and "for data blocks"), as privilege masks.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>

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

void PrintTo(const Acl& acl, std::ostream* os) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::uint8_t byte : acl.bytes) *os << kHex[byte >> 4] << kHex[byte & 0x0F] << ' ';
}

Acl Copy(const MIF_ACL_BYTES& bytes) {
  Acl acl;
  std::copy_n(bytes, sizeof acl.bytes, acl.bytes);
  return acl;
}

struct Privileges {
  std::uint32_t keyA;
  std::uint32_t keyB;
};

constexpr Privileges kDataRows[8] = {
    {0x0F, 0x0F}, {0x09, 0x09}, {0x01, 0x01}, {0x00, 0x03},
    {0x01, 0x03}, {0x00, 0x01}, {0x09, 0x0F}, {0x00, 0x00},
};
constexpr Privileges kTrailerRows[8] = {
    {0x36, 0x00}, {0x3E, 0x00}, {0x14, 0x00}, {0x04, 0x2E},
    {0x04, 0x26}, {0x04, 0x0C}, {0x04, 0x04}, {0x04, 0x04},
};

// Starting records with assorted bit patterns and a non-zero general-purpose byte.
constexpr Acl kStarts[] = {
    {{0xFF, 0x07, 0x80, 0x69}},
    {{0x00, 0x00, 0x00, 0xA5}},
    {{0xA5, 0x5A, 0xC3, 0x3C}},
    {{0xFF, 0xFF, 0xFF, 0xFF}},
};

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

TEST(MifACL, EveryDataRowRoundTripsOnEveryBlock) {
  const MifACL codec;
  for (std::uint32_t row = 0; row < 8; ++row) {
    std::uint32_t keyA = 0xDEAD, keyB = 0xBEEF;
    ASSERT_EQ(codec.GetValidDataSecPrivs(row, keyA, keyB), 0);
    EXPECT_EQ(keyA, kDataRows[row].keyA) << "row " << row;
    EXPECT_EQ(keyB, kDataRows[row].keyB) << "row " << row;
    for (std::uint32_t block = 0; block < 3; ++block) {
      for (const auto& start : kStarts) {
        SCOPED_TRACE(testing::Message() << "row " << row << " block " << block);
        Acl acl = start;
        ASSERT_EQ(codec.GenDataConditons(block, acl.bytes, keyA, keyB), static_cast<int>(row));
        ExpectBlockEncodes(start, acl, static_cast<int>(block), static_cast<int>(row));
        std::uint32_t parsedA = 0xFFFF, parsedB = 0xFFFF;
        EXPECT_EQ(codec.ParseDataConditions(block, acl.bytes, parsedA, parsedB),
                  static_cast<int>(row));
        EXPECT_EQ(parsedA, keyA);
        EXPECT_EQ(parsedB, keyB);
      }
    }
  }
}

TEST(MifACL, EveryTrailerRowRoundTrips) {
  const MifACL codec;
  for (std::uint32_t row = 0; row < 8; ++row) {
    std::uint32_t keyA = 0xDEAD, keyB = 0xBEEF;
    ASSERT_EQ(codec.GetValidTrailerPrivs(row, keyA, keyB), 0);
    EXPECT_EQ(keyA, kTrailerRows[row].keyA) << "row " << row;
    EXPECT_EQ(keyB, kTrailerRows[row].keyB) << "row " << row;
    // Rows 6 and 7 share their masks; the first matching row wins.
    const int generated = row == 7 ? 6 : static_cast<int>(row);
    for (const auto& start : kStarts) {
      SCOPED_TRACE(testing::Message() << "row " << row);
      Acl acl = start;
      ASSERT_EQ(codec.GenTrailerConditons(acl.bytes, keyA, keyB), generated);
      ExpectBlockEncodes(start, acl, 3, generated);
      std::uint32_t parsedA = 0xFFFF, parsedB = 0xFFFF;
      EXPECT_EQ(codec.ParseTrailerConditions(acl.bytes, parsedA, parsedB), generated);
      EXPECT_EQ(parsedA, keyA);
      EXPECT_EQ(parsedB, keyB);
    }
  }
}

TEST(MifACL, ParsesFactoryBytesAndIgnoresInvertedCopies) {
  struct Case {
    Acl acl;
    int dataIndex;
    int trailerIndex;
  };
  const Case cases[] = {{{{0xFF, 0x07, 0x80, 0x69}}, 0, 1}, {{{0x00, 0x00, 0x00, 0x00}}, 0, 0}};
  for (const auto& c : cases) {
    for (std::uint32_t block = 0; block < 3; ++block) {
      std::uint32_t keyA = 0, keyB = 0;
      EXPECT_EQ(ACL_ParseDataConditions(block, c.acl.bytes, &keyA, &keyB), c.dataIndex);
      EXPECT_EQ(keyA, kDataRows[c.dataIndex].keyA);
      EXPECT_EQ(keyB, kDataRows[c.dataIndex].keyB);
    }
    std::uint32_t keyA = 0, keyB = 0;
    EXPECT_EQ(ACL_ParseTrailerConditions(c.acl.bytes, &keyA, &keyB), c.trailerIndex);
    EXPECT_EQ(keyA, kTrailerRows[c.trailerIndex].keyA);
    EXPECT_EQ(keyB, kTrailerRows[c.trailerIndex].keyB);
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
  EXPECT_EQ(ACL_GenDataConditions(0, acl.data(), 0x02, 0x00), -1);  // pair in no data row
  EXPECT_EQ(ACL_GenDataConditions(3, acl.data(), 0x0F, 0x0F), -1);  // trailer is no data block
  EXPECT_EQ(ACL_GenTrailerConditions(acl.data(), 0x01, 0x00), -1);  // key A is never readable
  EXPECT_EQ(ACL_GenDataConditions(0, nullptr, 0x0F, 0x0F), -1);
  EXPECT_EQ(ACL_GenTrailerConditions(nullptr, 0x04, 0x04), -1);
  EXPECT_EQ(acl, original);

  std::uint32_t keyA = 0xAAAA, keyB = 0xBBBB;
  EXPECT_EQ(ACL_ParseDataConditions(3, acl.data(), &keyA, &keyB), -1);
  for (std::uint32_t index : {8u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ACL_GetValidDataSecPrivs(index, &keyA, &keyB), -1);
    EXPECT_EQ(ACL_GetValidTrailerPrivs(index, &keyA, &keyB), -1);
  }
  EXPECT_EQ(keyA, 0xAAAAu);
  EXPECT_EQ(keyB, 0xBBBBu);

  EXPECT_EQ(ACL_ParseDataConditions(0, nullptr, &keyA, &keyB), -1);
  EXPECT_EQ(ACL_ParseDataConditions(0, acl.data(), nullptr, &keyB), -1);
  EXPECT_EQ(ACL_ParseTrailerConditions(acl.data(), &keyA, nullptr), -1);
  EXPECT_EQ(ACL_GetValidDataSecPrivs(0, nullptr, &keyB), -1);
  EXPECT_EQ(ACL_GetValidTrailerPrivs(0, &keyA, nullptr), -1);

  EXPECT_EQ(ACL_GetValidDataSecPrivs(7, &keyA, &keyB), 0);
  EXPECT_EQ(keyA, 0x00u);
  EXPECT_EQ(keyB, 0x00u);
  EXPECT_EQ(ACL_GetValidTrailerPrivs(7, &keyA, &keyB), 0);
  EXPECT_EQ(keyA, 0x04u);
  EXPECT_EQ(keyB, 0x04u);
}

// The named constants must be well-formed records of the conditions they are documented with.
TEST(MifACL, NamedAccessBytesEncodeTheirConditions) {
  struct Case {
    const char* name;
    Acl bytes;
    int dataRow;
    int trailerRow;
  };
  const Case cases[] = {
      {"baClearACL", Copy(baClearACL), 0, 1},
      {"ba_MAD_ACL", Copy(ba_MAD_ACL), 4, 3},
      {"ba_MAD_T_ACL", Copy(ba_MAD_T_ACL), 6, 3},
  };
  const MifACL codec;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Acl built{{0, 0, 0, 0}};
    for (std::uint32_t block = 0; block < 3; ++block) {
      EXPECT_EQ(codec.GenDataConditons(block, built.bytes, kDataRows[c.dataRow].keyA,
                                       kDataRows[c.dataRow].keyB),
                c.dataRow);
    }
    EXPECT_EQ(codec.GenTrailerConditons(built.bytes, kTrailerRows[c.trailerRow].keyA,
                                        kTrailerRows[c.trailerRow].keyB),
              c.trailerRow);
    EXPECT_EQ(built, c.bytes);
  }
}

TEST(MifACL, AllBlocksFormWritesBlocksZeroToTwo) {
  const MifACL codec;
  Acl acl = Copy(baClearACL);
  EXPECT_EQ(codec.GenDataConditons(acl.bytes, 0x01, 0x03), 0);
  for (int b = 0; b < 3; ++b) EXPECT_EQ(TrueIndex(acl, b), 4) << "block " << b;
  EXPECT_EQ(TrueIndex(acl, 3), 1);

  acl = Copy(baClearACL);
  EXPECT_EQ(codec.GenDataConditons(acl.bytes, 0x02, 0x00), -1);
  EXPECT_EQ(acl, Copy(baClearACL));
}

// Condition 7 (no access) is refused by the all-blocks form only after block 0 is written.
TEST(MifACL, AllBlocksFormStopsAfterBlockZeroForNoAccess) {
  const MifACL codec;
  Acl acl = Copy(baClearACL);
  EXPECT_EQ(codec.GenDataConditons(acl.bytes, 0x00, 0x00), -1);
  EXPECT_EQ(TrueIndex(acl, 0), 7);
  EXPECT_EQ(InvertedIndex(acl, 0), 0);
  EXPECT_EQ(OtherBlocks(acl, 0), OtherBlocks(Copy(baClearACL), 0));
}

}  // namespace
