// SPDX-License-Identifier: MIT
#include "dump/KeyFile.h"

#include <algorithm>
#include <unordered_set>

#include "dump/HexLines.h"

namespace norvex::dump {

namespace {

// A key as one 48-bit number, to hash.
uint64_t keyNumber(const Key& key) {
  uint64_t number = 0;
  for (uint8_t byte : key) number = number << 8 | byte;
  return number;
}

// The keys seen so far; add() is true for a key not seen before.
class KeySet {
 public:
  KeySet() = default;
  explicit KeySet(const std::vector<Key>& keys) {
    seen_.reserve(keys.size() * 2);
    for (const Key& key : keys) seen_.insert(keyNumber(key));
  }
  bool add(const Key& key) { return seen_.insert(keyNumber(key)).second; }

 private:
  std::unordered_set<uint64_t> seen_;
};

bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == ':' || c == ',';
}

}  // namespace

std::optional<Key> parseKeyText(std::string_view text, std::string& error) {
  std::string digits;
  std::size_t i = 0;
  while (i < text.size()) {
    if (isSeparator(text[i])) {
      ++i;
      continue;
    }
    // A group of digits, with the "0x" a C literal puts before it dropped.
    if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") i += 2;
    while (i < text.size() && !isSeparator(text[i])) digits += text[i++];
  }
  auto bytes = parseHexBytes(digits, 6, false, error);
  if (!bytes) return std::nullopt;
  Key key{};
  std::transform(bytes->begin(), bytes->end(), key.begin(), [](auto byte) { return *byte; });
  return key;
}

KeyList parseKeyFile(std::string_view text) {
  KeyList list;
  KeySet seen;
  for (const Line& line : splitLines(text)) {
    std::string_view content = line.text.substr(0, line.text.find('#'));
    while (!content.empty() && (content.back() == ' ' || content.back() == '\t'))
      content.remove_suffix(1);
    if (content.empty()) continue;
    std::string error;
    auto key = parseKeyText(content, error);
    if (!key) {
      list.warnings.push_back("line " + std::to_string(line.number) + ": " + error);
      continue;
    }
    if (seen.add(*key)) list.keys.push_back(*key);
  }
  return list;
}

void appendNewKeys(std::vector<Key>& keys, const std::vector<Key>& more) {
  KeySet seen(keys);
  for (const Key& key : more)
    if (seen.add(key)) keys.push_back(key);
}

}  // namespace norvex::dump
