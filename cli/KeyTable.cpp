// SPDX-License-Identifier: MIT
#include "cli/KeyTable.h"

#include <ostream>

#include "cli/KeySearch.h"
#include "cli/Output.h"
#include "dump/TrailerSafety.h"

namespace norvex::cli {

namespace {

std::string jsonKey(const std::optional<dump::Key>& key) {
  return key ? "\"" + keyText(key) + "\"" : "null";
}

std::string readableText(std::size_t read, std::size_t blocks) {
  if (read == blocks) return "yes";
  if (read == 0) return "no";
  return "partly (" + std::to_string(read) + "/" + std::to_string(blocks) + ")";
}

// Whether key B, though the card accepts it, is refused for data access: the sector's access
// bytes (when read) let it be read from the trailer, so the card treats it as data.
bool keyBReadable(const dump::CardImage& image, std::size_t sector) {
  const std::size_t trailer = dump::firstBlockOfSector(sector) + dump::blocksInSector(sector) - 1;
  constexpr std::size_t kAccessOffset = 6;
  uint8_t acl[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t offset = trailer * dump::kBlockSize + kAccessOffset + i;
    if (offset >= image.byteCount() || !image.isKnown(offset)) return false;
    acl[i] = image.byte(offset);
  }
  return dump::accessBitsConsistent(acl) && !dump::keyBUsable(acl);
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
    out << "[";
    for (std::size_t sector = 0; sector < image.keys.size(); ++sector) {
      out << (sector ? ",\n " : "\n ") << "{\"sector\": " << sector
          << ", \"keyA\": " << jsonKey(image.keys[sector].a)
          << ", \"keyB\": " << jsonKey(image.keys[sector].b);
      if (image.keys[sector].b)
        out << ", \"keyBUsable\": " << (keyBReadable(image, sector) ? "false" : "true");
      if (withBlocks)
        out << ", \"blocksRead\": " << blocksRead[sector]
            << ", \"blocks\": " << dump::blocksInSector(sector);
      out << "}";
    }
    out << "\n]\n";
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
