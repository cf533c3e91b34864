// SPDX-License-Identifier: MIT
// The Mifare application directory of NDEF-formatted Classic cards: the CRC-8 against the
// published known answers (CRC-8/MIFARE-MAD check value; libfreefare's test_mad.c dump; the NFC
// Forum Classic images), the directories the formatter builds, and malformed directories refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ndef/ClassicMad.h"
#include "status/StatusCodes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A directory of `size` bytes with info byte and the NDEF entry for the first `ndef` sectors it
// covers, CRC filled in.
Bytes Directory(std::size_t size, std::uint8_t info, unsigned ndef) {
  Bytes mad(size);
  mad[1] = info;
  for (unsigned i = 0; i < ndef; ++i) mad[2 + 2 * i] = 0x03, mad[3 + 2 * i] = 0xE1;
  mad[0] = mad::Crc8(std::span(mad).subspan(1));
  return mad;
}

TEST(ClassicMad, CrcKnownAnswers) {
  const std::string check = "123456789";
  EXPECT_EQ(mad::Crc8({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0x99);
  const struct {
    std::size_t size;
    std::uint8_t info;
    unsigned ndef;
    std::uint8_t crc;
  } cases[] = {
      {mad::mad1_size, 0x01, 1, 0xC0},   // one NDEF sector: the worked 1K image, block 1
      {mad::mad1_size, 0x01, 5, 0xC4},   // real dump with five NDEF sectors
      {mad::mad1_size, 0x01, 15, 0x14},  // all 15 sectors
      {mad::mad2_size, 0x00, 23, 0x9E},  // MAD2 with all 23 sectors
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Directory(c.size, c.info, c.ndef)[0], c.crc) << c.ndef << " NDEF sectors";
  }
  const auto mad1 = mad::NdefMad1(mad::sectors_1k);
  EXPECT_EQ(Bytes(mad1.begin(), mad1.end()), Directory(mad::mad1_size, 0x01, 15));
  const auto mini = mad::NdefMad1(mad::mini_sectors);
  EXPECT_EQ(Bytes(mini.begin(), mini.end()), Directory(mad::mad1_size, 0x01, 4));
  const auto mad2 = mad::NdefMad2();
  EXPECT_EQ(Bytes(mad2.begin(), mad2.end()), Directory(mad::mad2_size, 0x00, 23));
}

TEST(ClassicMad, NdefSectorsAndMalformedDirectories) {
  const Bytes none;
  const Bytes full1 = Directory(mad::mad1_size, 0x01, 15);
  const Bytes full2 = Directory(mad::mad2_size, 0x00, 23);
  Bytes badCrc = full1;
  badCrc[0] ^= 0x01;
  Bytes gap = Directory(mad::mad1_size, 0x01, 3);  // sectors 1-3, then 5: the run stops at 3
  gap[10] = 0x03, gap[11] = 0xE1, gap[0] = mad::Crc8(std::span(gap).subspan(1));
  std::vector<std::uint8_t> all4k;
  for (unsigned s = 1; s < mad::sectors_4k; ++s)
    if (s != mad::mad2_sector) all4k.push_back(static_cast<std::uint8_t>(s));
  const struct {
    const char* name;
    Bytes mad1, mad2;
    unsigned sectors;
    long status;
    std::vector<std::uint8_t> ndef;
  } cases[] = {
      {"1K, all NDEF",
       full1,
       none,
       mad::sectors_1k,
       0,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {"4K, MAD2 too", full1, full2, mad::sectors_4k, 0, all4k},
      {"mini", Directory(mad::mad1_size, 0x01, 4), none, mad::mini_sectors, 0, {1, 2, 3, 4}},
      {"a gap ends the run", gap, none, mad::sectors_1k, 0, {1, 2, 3}},
      {"bad MAD1 CRC", badCrc, none, mad::sectors_1k, mad_bad_crc, {}},
      {"bad MAD2 CRC", full1, Bytes(mad::mad2_size), mad::sectors_4k, mad_bad_crc, {}},
      {"entry past a mini card", full1, none, mad::mini_sectors, mad_bad_entry, {}},
      {"MAD2 past a 1K card", full1, full2, mad::sectors_1k, mad_bad_entry, {}},
      {"publisher sector 16",
       Directory(mad::mad1_size, 0x10, 15),
       none,
       mad::sectors_1k,
       mad_bad_entry,
       {}},
      {"publisher past the card",
       Directory(mad::mad1_size, 0x08, 4),
       none,
       mad::mini_sectors,
       mad_bad_entry,
       {}},
      {"MAD1 of the wrong size", Bytes(31), none, mad::sectors_1k, mad_bad_entry, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> sectors{99};
    EXPECT_EQ(mad::NdefSectors(c.mad1, c.mad2, c.sectors, sectors), c.status);
    EXPECT_EQ(sectors, c.ndef);
  }
}

}  // namespace
