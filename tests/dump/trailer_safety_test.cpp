// SPDX-License-Identifier: MIT
// Which trailers may be written: the Mifare Classic access tables (data blocks: 011 and 101 read
// by key B only, 111 never; trailer: access bits written under 001 by key A, 011 and 101 by key B;
// key B readable, and so no key for data, under 000, 010 and 001).
#include <gtest/gtest.h>

#include "dump/TrailerSafety.h"

using namespace norvex::dump;
using Kind = TrailerVerdict::Kind;

namespace {

// Trailer bytes 6-8 for the C1C2C3 conditions of data groups 0-2 and the trailer, built bit by
// bit from the access byte layout: byte 6 = ~C2 | ~C1, byte 7 = C1 | ~C3, byte 8 = C3 | C2.
Block trailerWith(std::array<unsigned, 4> conditions) {
  unsigned c1 = 0, c2 = 0, c3 = 0;
  for (unsigned group = 0; group < 4; ++group) {
    c1 |= (conditions[group] >> 2 & 1) << group;
    c2 |= (conditions[group] >> 1 & 1) << group;
    c3 |= (conditions[group] & 1) << group;
  }
  Block trailer{};
  trailer.fill(0xFF);
  trailer[6] = static_cast<uint8_t>((~c2 & 0xF) << 4 | (~c1 & 0xF));
  trailer[7] = static_cast<uint8_t>(c1 << 4 | (~c3 & 0xF));
  trailer[8] = static_cast<uint8_t>(c3 << 4 | c2);
  trailer[9] = 0x69;
  return trailer;
}

Block trailerBytes(uint8_t b6, uint8_t b7, uint8_t b8) {
  Block trailer = trailerWith({0, 0, 0, 1});
  trailer[6] = b6;
  trailer[7] = b7;
  trailer[8] = b8;
  return trailer;
}

}  // namespace

TEST(TrailerSafety, TheLayoutGivesTheWellKnownBytes) {
  EXPECT_EQ(trailerWith({0, 0, 0, 1}), trailerBytes(0xFF, 0x07, 0x80));  // transport
  EXPECT_EQ(trailerWith({4, 4, 4, 3}), trailerBytes(0x78, 0x77, 0x88));  // read AB, write B
  EXPECT_EQ(trailerWith({7, 7, 7, 7}), trailerBytes(0x00, 0xF0, 0xFF));  // nothing, frozen
}

TEST(TrailerSafety, EachTrailerIsJudged) {
  const struct {
    const char* what;
    std::size_t sector;
    Block trailer;
    Kind kind;
    const char* reason;
  } cases[] = {
      {"transport FF 07 80", 1, trailerBytes(0xFF, 0x07, 0x80), Kind::Safe, ""},
      {"78 77 88", 1, trailerBytes(0x78, 0x77, 0x88), Kind::Safe, ""},
      {"7F 07 88: key B manages", 1, trailerBytes(0x7F, 0x07, 0x88), Kind::Safe, ""},
      {"value blocks under 110, trailer 101", 2, trailerWith({6, 6, 1, 5}), Kind::Safe, ""},
      {"00 F0 FF: nothing readable", 1, trailerBytes(0x00, 0xF0, 0xFF), Kind::Permanent,
       "block 4 could no longer be read (C1C2C3 111: no key may read it)"},
      {"read by B while key B is readable", 2, trailerWith({0, 3, 0, 1}), Kind::Permanent,
       "block 9 could no longer be read (C1C2C3 011: only key B may read it, and key B is"},
      {"read by B, key B secret", 2, trailerWith({5, 3, 0, 3}), Kind::Safe, ""},
      {"access bits frozen (100)", 3, trailerWith({0, 0, 0, 4}), Kind::Permanent,
       "access bits, and with them its keys, could no longer be changed (trailer C1C2C3 100)"},
      {"access bits frozen (110)", 3, trailerWith({0, 0, 0, 6}), Kind::Permanent, "110"},
      {"everything frozen but readable (010)", 3, trailerWith({2, 2, 2, 2}), Kind::Permanent,
       "could no longer be changed"},
      {"a 16-block sector names its group", 35, trailerWith({0, 7, 0, 1}), Kind::Permanent,
       "blocks 181-185 could no longer be read"},
      {"inverted copy broken", 1, trailerBytes(0x0F, 0x07, 0x80), Kind::Malformed,
       "inverted copies do not match"},
      {"all zeros", 1, trailerBytes(0x00, 0x00, 0x00), Kind::Malformed, "inconsistent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TrailerVerdict verdict = judgeTrailer(c.sector, c.trailer);
    EXPECT_EQ(verdict.kind, c.kind);
    EXPECT_NE(verdict.reason.find(c.reason), std::string::npos) << verdict.reason;
  }
}

// Key B serves as a key only where the trailer condition keeps it secret (011 and above); under
// 000, 010 and 001 it can be read, and inconsistent bytes make no key usable.
TEST(TrailerSafety, KeyBIsAKeyOnlyWhereItCannotBeRead) {
  for (unsigned condition = 0; condition < 8; ++condition) {
    SCOPED_TRACE(condition);
    const Block trailer = trailerWith({0, 0, 0, condition});
    EXPECT_EQ(keyBUsable(trailer.data() + 6), condition >= 3);
  }
  const Block broken = trailerBytes(0xFF, 0x0F, 0x88);  // inverted copies that do not match
  EXPECT_FALSE(keyBUsable(broken.data() + 6));
}

// An all-zero trailer in a raw image marks a sector never read: its blocks become unread, in the
// 4-block and 16-block sectors alike; a trailer with any byte set, or not in the image, stays.
TEST(TrailerSafety, SectorsWithAnAllZeroTrailerAreForgotten) {
  CardImage image(CardSize::Classic4K);
  for (std::size_t i = 0; i < image.byteCount(); ++i) image.setByte(i, 0x11);
  const auto zeroTrailer = [&image](std::size_t sector) {
    const std::size_t trailer = firstBlockOfSector(sector) + blocksInSector(sector) - 1;
    for (std::size_t i = 0; i < kBlockSize; ++i) image.setByte(trailer * kBlockSize + i, 0);
  };
  zeroTrailer(2);
  zeroTrailer(35);
  zeroTrailer(7);
  image.setByte((4 * 7 + 3) * kBlockSize + 9, 0x69);  // sector 7: only byte 9 set
  image.forgetByte((4 * 9 + 3) * kBlockSize);         // sector 9: trailer not read whole
  EXPECT_EQ(forgetNeverReadSectors(image), (std::vector<std::size_t>{2, 35}));
  const struct {
    std::size_t block;
    bool known;
  } cases[] = {{7, true},   {8, false},   {11, false},  {12, true},  {28, true}, {31, true},
               {175, true}, {176, false}, {191, false}, {192, true}, {36, true}};
  for (const auto& c : cases) EXPECT_EQ(image.blockKnown(c.block), c.known) << "block " << c.block;
}
