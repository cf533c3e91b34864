// SPDX-License-Identifier: MIT
// MCT text dumps: "+Sector: N" before the blocks of each sector, one block per line, "-" for the
// digits of bytes that could not be read (the key A of a trailer, for one). A sector left out of
// the file was not read at all.
#include <charconv>

#include "dump/DumpFormats.h"
#include "dump/HexLines.h"

namespace norvex::dump {

namespace {

constexpr std::string_view kHeader = "+Sector:";
constexpr std::size_t kMaxSectors = 40;
constexpr uint8_t kMiniSak = 0x09;

struct SectorLines {
  std::size_t sector;
  std::size_t headerLine;
  std::vector<Line> blocks;
};

std::string at(const Line& line, const std::string& message) {
  return "line " + std::to_string(line.number) + ": " + message;
}

std::optional<std::size_t> sectorNumber(std::string_view header) {
  header.remove_prefix(kHeader.size());
  while (!header.empty() && header.front() == ' ') header.remove_prefix(1);
  std::size_t sector = 0;
  auto [end, error] = std::from_chars(header.data(), header.data() + header.size(), sector);
  if (error != std::errc() || end != header.data() + header.size() || header.empty())
    return std::nullopt;
  return sector;
}

// Groups the lines under their sector headers, checking the order of the headers.
Parsed<std::vector<SectorLines>> groupSectors(const std::vector<Line>& lines) {
  using Result = Parsed<std::vector<SectorLines>>;
  std::vector<SectorLines> sectors;
  for (const Line& line : lines) {
    if (line.text.empty()) continue;
    if (line.text.starts_with(kHeader)) {
      auto sector = sectorNumber(line.text);
      if (!sector)
        return Result::failure(at(line, "a sector header needs a decimal sector number"));
      if (*sector >= kMaxSectors)
        return Result::failure(at(line, "sector " + std::to_string(*sector) +
                                            " is beyond the largest card (sectors 0 to 39)"));
      if (!sectors.empty() && *sector <= sectors.back().sector)
        return Result::failure(at(line, "sector " + std::to_string(*sector) + " after sector " +
                                            std::to_string(sectors.back().sector)));
      sectors.push_back({*sector, line.number, {}});
      continue;
    }
    if (sectors.empty())
      return Result::failure(at(line, "block data before the first \"+Sector:\" line"));
    if (sectors.back().blocks.size() == blocksInSector(sectors.back().sector))
      return Result::failure(
          at(line, "more than " + std::to_string(blocksInSector(sectors.back().sector)) +
                       " blocks in sector " + std::to_string(sectors.back().sector)));
    sectors.back().blocks.push_back(line);
  }
  if (sectors.empty()) return Result::failure("line 1: no \"+Sector:\" line in the file");
  return {std::move(sectors), {}};
}

// The card size: the highest sector decides, and a Mini is told from a 1K by the SAK of block 0.
CardSize sizeOf(const std::vector<SectorLines>& sectors) {
  std::size_t last = sectors.back().sector;
  if (last >= sectorCount(CardSize::Classic1K)) return CardSize::Classic4K;
  if (last >= sectorCount(CardSize::Mini)) return CardSize::Classic1K;
  std::string ignored;
  if (sectors.front().sector == 0) {
    auto block0 = parseHexBytes(sectors.front().blocks.front().text, kBlockSize, true, ignored);
    if (block0 && (*block0)[5] == kMiniSak) return CardSize::Mini;
  }
  return CardSize::Classic1K;
}

}  // namespace

Parsed<CardImage> parseMct(std::string_view text) {
  auto grouped = groupSectors(splitLines(text));
  if (!grouped.value) return Parsed<CardImage>::failure(grouped.error);
  for (const SectorLines& sector : *grouped.value) {
    for (const Line& line : sector.blocks) {
      std::string error;
      if (!parseHexBytes(line.text, kBlockSize, true, error))
        return Parsed<CardImage>::failure(at(line, error));
    }
    if (sector.blocks.size() != blocksInSector(sector.sector))
      return Parsed<CardImage>::failure(
          "line " + std::to_string(sector.headerLine) + ": sector " +
          std::to_string(sector.sector) + " has " + std::to_string(sector.blocks.size()) +
          " block lines; it needs " + std::to_string(blocksInSector(sector.sector)));
  }
  CardImage image(sizeOf(*grouped.value));
  for (const SectorLines& sector : *grouped.value) {
    std::size_t block = firstBlockOfSector(sector.sector);
    for (const Line& line : sector.blocks) {
      std::string error;
      storeBytes(image, block++ * kBlockSize, *parseHexBytes(line.text, kBlockSize, true, error));
    }
  }
  return {std::move(image), {}};
}

std::string writeMct(const CardImage& image) {
  std::string text;
  for (std::size_t sector = 0; sector < image.sectorCount(); ++sector) {
    text += "+Sector: " + std::to_string(sector) + "\n";
    std::size_t first = firstBlockOfSector(sector);
    for (std::size_t block = first; block < first + blocksInSector(sector); ++block) {
      text += blockHex(image, block, false) + "\n";
    }
  }
  return text;
}

}  // namespace norvex::dump
