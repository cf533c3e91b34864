// SPDX-License-Identifier: MIT
// Key files: one Mifare Classic key of 12 hex digits per line; "#" starts a comment, blank lines
// are ignored. A line that holds anything else is reported with its number and skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dump/CardImage.h"

namespace norvex::dump {

struct KeyList {
  std::vector<Key> keys;              // in file order, without repeats
  std::vector<std::string> warnings;  // "line N: ..." for each skipped line
};

// Linear in the size of the text: repeats are dropped through a hash set, not a search.
KeyList parseKeyFile(std::string_view text);

// Appends the keys of `more` that `keys` does not hold yet, in their order; linear in both sizes.
void appendNewKeys(std::vector<Key>& keys, const std::vector<Key>& more);

}  // namespace norvex::dump
