// SPDX-License-Identifier: MIT
#include "dump/KeyFile.h"

#include <algorithm>

#include "dump/HexLines.h"

namespace norvex::dump {

KeyList parseKeyFile(std::string_view text) {
  KeyList list;
  for (const Line& line : splitLines(text)) {
    std::string_view content = line.text.substr(0, line.text.find('#'));
    while (!content.empty() && (content.back() == ' ' || content.back() == '\t'))
      content.remove_suffix(1);
    if (content.empty()) continue;
    std::string error;
    auto bytes = parseHexBytes(content, 6, false, error);
    if (!bytes) {
      list.warnings.push_back("line " + std::to_string(line.number) + ": " + error);
      continue;
    }
    Key key{};
    std::transform(bytes->begin(), bytes->end(), key.begin(), [](auto byte) { return *byte; });
    if (std::find(list.keys.begin(), list.keys.end(), key) == list.keys.end())
      list.keys.push_back(key);
  }
  return list;
}

}  // namespace norvex::dump
