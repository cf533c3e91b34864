// SPDX-License-Identifier: MIT
// The dump file parsers (raw, JSON, MCT, EML) and the key file parser over arbitrary file contents.
//
// Input: [format selector byte][file contents]. Selector modulo 5: the four dump formats, then key
// files.
// Checked: a parser either returns a whole image or an error naming a line or an offset, never
// both and never neither; an image it returns is written and parsed back to the same image.

#include <string>
#include <string_view>

#include "dump/DumpFormats.h"
#include "dump/KeyFile.h"
#include "support/Fuzz.h"

using namespace norvex::dump;

namespace {

constexpr DumpFormat kFormats[] = {DumpFormat::Raw, DumpFormat::Json, DumpFormat::Mct,
                                   DumpFormat::Eml};

void CheckDump(DumpFormat format, std::string_view contents) {
  auto parsed = parseDump(format, contents);
  FUZZ_CHECK(parsed.value.has_value() == parsed.error.empty());
  if (!parsed.value) {
    FUZZ_CHECK(parsed.error.starts_with("line ") || parsed.error.starts_with("offset "));
    return;
  }
  auto again = parseDump(format, writeDump(format, *parsed.value));
  FUZZ_CHECK(again.value && *again.value == *parsed.value);
}

void CheckKeys(std::string_view contents) {
  KeyList list = parseKeyFile(contents);
  for (const std::string& warning : list.warnings) FUZZ_CHECK(warning.starts_with("line "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t selector = input.Byte() % 5;
  const auto rest = input.Bytes(size);
  const std::string_view contents(reinterpret_cast<const char*>(rest.data()), rest.size());
  if (selector < 4)
    CheckDump(kFormats[selector], contents);
  else
    CheckKeys(contents);
  return 0;
}
