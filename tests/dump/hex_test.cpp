// SPDX-License-Identifier: MIT
// The programs' hex codec: what the CLI's arguments, the dump files and the explorer's editors
// are read and written with.
#include "dump/Hex.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace hex = norvex::hex;
using Bytes = std::vector<uint8_t>;

TEST(Hex, DigitsAtTheEdgesOfTheirRanges) {
  // The characters next to each digit range ('/', ':', '@', 'G', '`', 'g') are the likely
  // off-by-one faults; a full-width digit is not a hex digit.
  const struct {
    char32_t c;
    int value;
  } cases[] = {{U'0', 0},  {U'9', 9},  {U'A', 10},   {U'F', 15}, {U'a', 10}, {U'f', 15},
               {U'/', -1}, {U':', -1}, {U'@', -1},   {U'G', -1}, {U'`', -1}, {U'g', -1},
               {U'-', -1}, {U' ', -1}, {0xFF10, -1}, {0x130, -1}};
  for (const auto& c : cases) EXPECT_EQ(hex::digitValue(c.c), c.value) << int(c.c);
}

TEST(Hex, EncodesUpperCasePairsWithTheSeparatorOnlyBetweenThem) {
  const Bytes bytes = {0x00, 0x0F, 0xA5, 0xFF};
  EXPECT_EQ(hex::encode(bytes), "000FA5FF");
  EXPECT_EQ(hex::encode(bytes, " "), "00 0F A5 FF");
  EXPECT_EQ(hex::encode(bytes.data() + 2, 1, ":"), "A5");
  EXPECT_EQ(hex::encode(Bytes{}, " "), "");
}

TEST(Hex, DecodesPairsAndRefusesWhatIsNotHex) {
  const struct {
    const char* text;
    const char* skipped;
    std::optional<Bytes> bytes;
  } cases[] = {
      {"", "", Bytes{}},
      {"00a5FF", "", Bytes{0x00, 0xA5, 0xFF}},
      {"A", "", std::nullopt},      // half a byte
      {"A5B", "", std::nullopt},    // a pair and a half
      {"A5 B6", "", std::nullopt},  // a space that is not allowed
      {"A5 B6", " :", Bytes{0xA5, 0xB6}},
      {"a5:b6: C7", " :", Bytes{0xA5, 0xB6, 0xC7}},
      {"A 5", " ", Bytes{0xA5}},      // skipped characters count nowhere
      {"A5-B6", " :", std::nullopt},  // only the listed ones are skipped
      {"0xA5", "", std::nullopt},
      {"A\xC5", "", std::nullopt},  // a byte above 0x7F is no digit
      {" : ", " :", Bytes{}},
  };
  for (const auto& c : cases) EXPECT_EQ(hex::decode(c.text, c.skipped), c.bytes) << c.text;
}

TEST(Hex, EncodeThenDecodeGivesEveryByteBack) {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(hex::decode(hex::encode(all, ":"), ":"), all);
}

TEST(Hex, LenientPairsCountNonDigitsAsZero) {
  EXPECT_EQ(hex::lenientByte(U'a', U'5'), 0xA5);
  EXPECT_EQ(hex::lenientByte(U'-', U'-'), 0x00);
  EXPECT_EQ(hex::lenientByte(U'7', U' '), 0x70);
  EXPECT_EQ(hex::lenientByte(U'G', U'F'), 0x0F);
}
