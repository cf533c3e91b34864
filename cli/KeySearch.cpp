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

std::vector<dump::Key> loadCandidateKeys(const std::vector<std::string>& keyFiles) {
  std::vector<dump::Key> keys = defaultKeys();
  constexpr std::size_t kMaxKeyFileBytes = 4 << 20;
  for (const std::string& path : keyFiles) {
    auto contents = dump::readWholeFile(path, kMaxKeyFileBytes);
    if (!contents.value) usageError(contents.error);
    dump::KeyList list = dump::parseKeyFile(*contents.value);
    for (const std::string& warning : list.warnings)
      std::cerr << "norvex: " << path << ": " << warning << " (skipped)\n";
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
