// SPDX-License-Identifier: MIT
#include "cli/Output.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>

#include "dump/Hex.h"

namespace norvex::cli {

bool parseHex(const std::string& text, std::vector<uint8_t>& bytes) {
  std::optional<std::vector<uint8_t>> parsed = hex::decode(text, " :");
  if (!parsed || parsed->empty()) return false;
  bytes.insert(bytes.end(), parsed->begin(), parsed->end());
  return true;
}

void printTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths(header.size());
  for (std::size_t c = 0; c < header.size(); ++c) widths[c] = header[c].size();
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
      widths[c] = std::max(widths[c], row[c].size());
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
      text += cells[c];
      if (c + 1 < cells.size()) text += std::string(widths[c] - cells[c].size() + 2, ' ');
    }
    out << text << '\n';
  };
  line(header);
  for (const auto& row : rows) line(row);
}

void printJson(const dump::JsonValue& value) {
  std::cout << dump::writeJsonText(value, dump::JsonLayout::Indented);
}

Progress::Progress(std::string label, std::size_t total)
    : label_(std::move(label)), total_(total), enabled_(isatty(STDERR_FILENO) == 1 && total > 0) {}

Progress::~Progress() {
  if (enabled_) std::fprintf(stderr, "\r\033[K");
}

void Progress::update(std::size_t done) {
  if (!enabled_) return;
  constexpr std::size_t kWidth = 30;
  std::size_t filled = std::min(done, total_) * kWidth / total_;
  std::fprintf(stderr, "\r%s [%s%s] %zu/%zu", label_.c_str(), std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), done, total_);
  std::fflush(stderr);
}

}  // namespace norvex::cli
