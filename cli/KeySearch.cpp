// SPDX-License-Identifier: MIT
#include "cli/KeySearch.h"

#include <algorithm>
#include <iostream>

#include "cli/CliError.h"
#include "dump/DumpFile.h"
#include "dump/Hex.h"
#include "dump/KeyFile.h"
#include "norvexapi.h"

namespace norvex::cli {

const std::vector<dump::Key>& defaultKeys() {
  static const std::vector<dump::Key> keys = {
      {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},  // transport key
      {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5},  // MAD key A
      {0xD3, 0xF7, 0xD3, 0xF7, 0xD3, 0xF7},  // NFC Forum key A
      {0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
  };
  return keys;
}

namespace {

constexpr std::size_t kMaxKeyFileBytes = 4 << 20;

// A key file's text; "-" is standard input, which can be read once.
std::string keyFileText(const std::string& path, bool& stdinRead) {
  if (path != "-") {
    auto contents = dump::readWholeFile(path, kMaxKeyFileBytes);
    if (!contents.value) usageError(contents.error);
    return *contents.value;
  }
  if (stdinRead) usageError("-k - (standard input) can be given once");
  stdinRead = true;
  std::string text;
  char buffer[4096];
  while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
    if (text.size() > kMaxKeyFileBytes) usageError("standard input: more than 4 MiB of keys");
  }
  return text;
}

}  // namespace

std::vector<OptionDef> keyOptions(std::vector<OptionDef> more) {
  more.push_back({"key", 0, true});
  more.push_back({"key-file", 'k', true});
  return more;
}

std::vector<dump::Key> keysGiven(const Arguments& options) {
  std::vector<dump::Key> keys;
  for (const std::string& text : options.values("key")) {
    std::string error;
    auto key = dump::parseKeyText(text, error);
    if (!key)
      usageError("--key needs a key of 12 hex digits (spaces, colons and 0x allowed), not \"" +
                 text + "\" (" + error + "); key files go with -k FILE");
    keys.push_back(*key);
  }
  return keys;
}

std::vector<dump::Key> loadCandidateKeys(const Arguments& options) {
  std::vector<dump::Key> keys = keysGiven(options);
  dump::appendNewKeys(keys, defaultKeys());
  bool stdinRead = false;
  for (const std::string& path : options.values("key-file")) {
    const std::string name = path == "-" ? "standard input" : path;
    dump::KeyList list = dump::parseKeyFile(keyFileText(path, stdinRead));
    for (const std::string& warning : list.warnings)
      std::cerr << "norvex: " << name << ": " << warning << " (skipped)\n";
    dump::appendNewKeys(keys, list.keys);
  }
  return keys;
}

KeySearch::KeySearch(ClassicCard& card, std::vector<dump::Key> candidates)
    : card_(card), candidates_(std::move(candidates)) {}

std::optional<dump::Key> KeySearch::tryKeys(std::size_t sector, uint8_t keyType) {
  for (auto it = candidates_.begin(); it != candidates_.end(); ++it) {
    if (!card_.authenticate(sector, keyType, *it)) continue;
    dump::Key found = *it;
    std::rotate(candidates_.begin(), it, it + 1);  // the next sector tries it first
    return found;
  }
  return std::nullopt;
}

dump::SectorKeys KeySearch::find(std::size_t sector) {
  dump::SectorKeys keys;
  keys.b = tryKeys(sector, MIF_KEY_TYPE_B);
  keys.a = tryKeys(sector, MIF_KEY_TYPE_A);
  return keys;
}

std::string keyText(const std::optional<dump::Key>& key) {
  return key ? hex::encode(key->data(), key->size()) : "-";
}

}  // namespace norvex::cli
