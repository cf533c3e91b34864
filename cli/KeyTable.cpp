// SPDX-License-Identifier: MIT
#include "cli/KeyTable.h"

#include <ostream>

#include "cli/KeySearch.h"
#include "cli/Output.h"
#include "dump/Hex.h"
#include "dump/JsonFields.h"
#include "dump/TrailerSafety.h"

namespace norvex::cli {

namespace {

std::string readableText(std::size_t read, std::size_t blocks) {
  if (read == blocks) return "yes";
  if (read == 0) return "no";
  return "partly (" + std::to_string(read) + "/" + std::to_string(blocks) + ")";
}

// Trailer bytes 6-9 when all were read.
std::optional<std::string> accessBytes(const dump::CardImage& image, std::size_t sector) {
  const std::size_t trailer = dump::firstBlockOfSector(sector) + dump::blocksInSector(sector) - 1;
  constexpr std::size_t kAccessOffset = 6, kAccessLength = 4;
  uint8_t bytes[kAccessLength] = {};
  for (std::size_t i = 0; i < kAccessLength; ++i) {
    const std::size_t offset = trailer * dump::kBlockSize + kAccessOffset + i;
    if (offset >= image.byteCount() || !image.isKnown(offset)) return std::nullopt;
    bytes[i] = image.byte(offset);
  }
  return hex::encode(bytes, kAccessLength);
}

// Whether key B, though the card accepts it, is refused for data access: the sector's access
// bytes (when read) let it be read from the trailer, so the card treats it as data.
bool keyBReadable(const dump::CardImage& image, std::size_t sector) {
  std::vector<uint8_t> acl;
  const auto access = accessBytes(image, sector);
  return access && parseHex(*access, acl) && dump::accessBitsConsistent(acl.data()) &&
         !dump::keyBUsable(acl.data());
}

// The keys found (null for none) and the access bytes when the trailer was read.
dump::JsonValue keysJson(const dump::CardImage& image, std::size_t sector) {
  auto key = [](const std::optional<dump::Key>& found) {
    return found ? dump::jsonHex(found->data(), found->size()) : dump::JsonValue{};
  };
  dump::JsonValue keys = dump::JsonValue::object();
  keys.add(dump::kKeyAName, key(image.keys[sector].a))
      .add(dump::kKeyBName, key(image.keys[sector].b));
  if (auto access = accessBytes(image, sector))
    keys.add(dump::kAccessConditionsName, dump::jsonString(*access));
  return keys;
}

std::string keyBText(const dump::CardImage& image, std::size_t sector) {
  const std::optional<dump::Key>& key = image.keys[sector].b;
  return key && keyBReadable(image, sector) ? keyText(key) + " (readable, not a key for data)"
                                            : keyText(key);
}

}  // namespace

void printKeyTable(std::ostream& out, const dump::CardImage& image,
                   const std::vector<std::size_t>& blocksRead, bool json) {
  const bool withBlocks = !blocksRead.empty();
  if (json) {
    // Per sector the same "KeyA", "KeyB" and "AccessConditions" object as a JSON dump's
    // "SectorKeys" holds, so that one reader takes the keys from either.
    dump::JsonValue list = dump::JsonValue::array();
    for (std::size_t sector = 0; sector < image.keys.size(); ++sector) {
      dump::JsonValue entry = dump::JsonValue::object();
      entry.add("sector", dump::jsonNumber(static_cast<double>(sector)))
          .add("keys", keysJson(image, sector));
      if (image.keys[sector].b)
        entry.add("keyBUsable", dump::jsonBool(!keyBReadable(image, sector)));
      if (withBlocks)
        entry.add("blocksRead", dump::jsonNumber(static_cast<double>(blocksRead[sector])))
            .add("blocks", dump::jsonNumber(static_cast<double>(dump::blocksInSector(sector))));
      list.push(std::move(entry));
    }
    out << dump::writeJsonText(list, dump::JsonLayout::Indented);
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (std::size_t sector = 0; sector < image.keys.size(); ++sector) {
    rows.push_back(
        {std::to_string(sector), keyText(image.keys[sector].a), keyBText(image, sector)});
    if (withBlocks)
      rows.back().push_back(readableText(blocksRead[sector], dump::blocksInSector(sector)));
  }
  std::vector<std::string> header = {"SECTOR", "KEY A", "KEY B"};
  if (withBlocks) header.push_back("READABLE");
  printTable(out, header, rows);
}

}  // namespace norvex::cli
