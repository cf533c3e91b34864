// SPDX-License-Identifier: MIT
// Output of the subcommands: hex arguments, aligned tables, JSON, a progress bar on a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "dump/JsonValue.h"

namespace norvex::cli {

// A listing's JSON on standard output, indented.
void printJson(const dump::JsonValue& value);

// Parses a hex argument: digit pairs, with spaces and colons allowed between them (hex::decode);
// false, and nothing appended, on a malformed or empty text.
bool parseHex(const std::string& text, std::vector<uint8_t>& bytes);

void printTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows);

// Redraws one line on standard error while a long operation runs, only when it is a terminal.
class Progress {
 public:
  Progress(std::string label, std::size_t total);
  ~Progress();
  void update(std::size_t done);

 private:
  std::string label_;
  std::size_t total_;
  bool enabled_;
};

}  // namespace norvex::cli
