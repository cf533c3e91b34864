// SPDX-License-Identifier: MIT
// EML files: one block per line, 32 hex digits, as emulator memory files hold them. Lines that
// start with "#" are comments and skipped.
#include "dump/DumpFormats.h"
#include "dump/HexLines.h"

namespace norvex::dump {

Parsed<CardImage> parseEml(std::string_view text) {
  std::vector<Line> lines = splitLines(text);
  std::erase_if(lines, [](const Line& line) { return line.text.starts_with('#'); });
  while (!lines.empty() && lines.back().text.empty()) lines.pop_back();  // trailing blank lines
  constexpr std::size_t kMaxBlocks = static_cast<std::size_t>(CardSize::Classic4K) / kBlockSize;
  if (lines.size() > kMaxBlocks)
    return Parsed<CardImage>::failure("line " + std::to_string(lines[kMaxBlocks].number) +
                                      ": more blocks than a 4K card holds (256)");
  for (const Line& line : lines) {
    std::string error;
    if (!parseHexBytes(line.text, kBlockSize, false, error))
      return Parsed<CardImage>::failure("line " + std::to_string(line.number) + ": " + error);
  }
  auto size = cardSizeOfBlocks(lines.size());
  if (!size)
    return Parsed<CardImage>::failure("line " +
                                      std::to_string(lines.empty() ? 1 : lines.back().number + 1) +
                                      ": the file ends after " + std::to_string(lines.size()) +
                                      " blocks; an EML file holds 20, 64 or 256");
  CardImage image(*size);
  for (std::size_t block = 0; block < lines.size(); ++block) {
    std::string error;
    storeBytes(image, block * kBlockSize,
               *parseHexBytes(lines[block].text, kBlockSize, false, error));
  }
  return {std::move(image), {}};
}

std::string writeEml(const CardImage& image) {
  std::string text;
  for (std::size_t block = 0; block < image.blockCount(); ++block)
    text += blockHex(image, block, true) + "\n";
  return text;
}

}  // namespace norvex::dump
