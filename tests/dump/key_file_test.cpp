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
