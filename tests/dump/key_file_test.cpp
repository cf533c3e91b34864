// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "dump/KeyFile.h"

using namespace norvex::dump;

TEST(KeyFile, KeysCommentsBlankLinesAndBadLines) {
  KeyList list = parseKeyFile(
      "# transport keys\n"
      "FFFFFFFFFFFF\n"
      "\n"
      "a0a1a2a3a4a5   # MAD key, lower case\r\n"
      "  D3F7D3F7D3F7\t\n"
      "FFFFFFFFFFFF\n"    // repeated: kept once
      "FFFFFFFFFFF\n"     // line 7: 11 digits
      "FFFFFFFFFFFFFF\n"  // line 8: 14 digits
      "ZZZZZZZZZZZZ\n"    // line 9: not hex
      "000000000000");
  ASSERT_EQ(list.keys.size(), 4u);
  EXPECT_EQ(list.keys[0], (Key{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(list.keys[1], (Key{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}));
  EXPECT_EQ(list.keys[2], (Key{0xD3, 0xF7, 0xD3, 0xF7, 0xD3, 0xF7}));
  EXPECT_EQ(list.keys[3], (Key{}));
  ASSERT_EQ(list.warnings.size(), 3u);
  EXPECT_EQ(list.warnings[0].rfind("line 7: 11 characters", 0), 0u) << list.warnings[0];
  EXPECT_EQ(list.warnings[1].rfind("line 8: 14 characters", 0), 0u) << list.warnings[1];
  EXPECT_EQ(list.warnings[2].rfind("line 9: column 1: 'Z'", 0), 0u) << list.warnings[2];
}

// Keys as they are copied from documents and other tools; anything that is not 12 hex digits
// once the separators and "0x" prefixes are gone is refused.
TEST(KeyFile, KeysInTheSpellingsPeopleCopy) {
  const Key mad{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  const struct {
    const char* text;
    bool valid;
  } cases[] = {{"A0A1A2A3A4A5", true},
               {"0xA0A1A2A3A4A5", true},
               {"0Xa0a1a2a3a4a5", true},
               {"A0 A1 A2 A3 A4 A5", true},
               {"A0:A1:A2:A3:A4:A5", true},
               {"0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5", true},
               {"\tA0A1A2 A3A4A5 ", true},
               {"A0-A1-A2-A3-A4-A5", false},
               {"A0A1A2A3A4", false},
               {"A0A1A2A3A4A5A6", false},
               {"0x", false},
               {"x0A0A1A2A3A4A5", false},
               {"A0A1A2A3A40xA5", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const std::optional<Key> key = parseKeyText(c.text, error);
    EXPECT_EQ(key.value_or(Key{}), c.valid ? mad : Key{}) << error;
    EXPECT_EQ(error.empty(), c.valid);
  }
  const KeyList list =
      parseKeyFile("0xA0A1A2A3A4A5  # MAD\nA0:A1:A2:A3:A4:A5\nB0 B1 B2 B3 B4 B5\n");
  EXPECT_EQ(list.keys, (std::vector<Key>{mad, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}}));
  EXPECT_TRUE(list.warnings.empty());
}
