// SPDX-License-Identifier: MIT
// Key files: one Mifare Classic key of 12 hex digits per line; "#" starts a comment, blank lines
// are ignored. A line that holds anything else is reported with its number and skipped.
//
// Keys are accepted as people copy them: "A0A1A2A3A4A5", "0xA0A1A2A3A4A5", "A0 A1 A2 A3 A4 A5",
// "A0:A1:A2:A3:A4:A5" or "0xA0, 0xA1, ..." (spaces, tabs, colons and commas between digits, a
// "0x" before any group).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dump/CardImage.h"

namespace norvex::dump {

struct KeyList {
  std::vector<Key> keys;              // in file order, without repeats
  std::vector<std::string> warnings;  // "line N: ..." for each skipped line
};

// One key in any of the spellings above; nothing (and error says why) for anything else.
std::optional<Key> parseKeyText(std::string_view text, std::string& error);

// Linear in the size of the text: repeats are dropped through a hash set, not a search.
KeyList parseKeyFile(std::string_view text);

// Appends the keys of `more` that `keys` does not hold yet, in their order; linear in both sizes.
void appendNewKeys(std::vector<Key>& keys, const std::vector<Key>& more);

}  // namespace norvex::dump
