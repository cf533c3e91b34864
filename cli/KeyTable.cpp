// SPDX-License-Identifier: MIT
#include "cli/KeyTable.h"

#include <ostream>

#include "cli/KeySearch.h"
#include "cli/Output.h"

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
    rows.push_back({std::to_string(sector), keyText(image.keys[sector].a),
                    keyText(image.keys[sector].b)});
    if (withBlocks)
      rows.back().push_back(readableText(blocksRead[sector], dump::blocksInSector(sector)));
  }
  std::vector<std::string> header = {"SECTOR", "KEY A", "KEY B"};
  if (withBlocks) header.push_back("READABLE");
  printTable(out, header, rows);
}

}  // namespace norvex::cli
