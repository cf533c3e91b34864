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

KeyList parseKeyFile(std::string_view text);

}  // namespace norvex::dump
