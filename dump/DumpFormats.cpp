// SPDX-License-Identifier: MIT
// Choosing a dump format by file name, and dispatching to its parser and writer.
#include "dump/DumpFormats.h"

#include <algorithm>
#include <cctype>

namespace norvex::dump {

namespace {

struct FormatEntry {
  DumpFormat format;
  const char* name;
  bool keepsUnreadBytes;
  Parsed<CardImage> (*parse)(std::string_view);
  std::string (*write)(const CardImage&);
};

constexpr FormatEntry kFormats[] = {
    {DumpFormat::Raw, "raw image", false, parseRaw, writeRaw},
    {DumpFormat::Json, "JSON", true, parseJson, writeJson},
    {DumpFormat::Mct, "MCT text", true, parseMct, writeMct},
    {DumpFormat::Eml, "EML", false, parseEml, writeEml},
};

const FormatEntry& entryOf(DumpFormat format) {
  return *std::find_if(std::begin(kFormats), std::end(kFormats),
                       [format](const FormatEntry& entry) { return entry.format == format; });
}

}  // namespace

std::optional<DumpFormat> formatOfPath(std::string_view path) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
    return std::nullopt;
  std::string extension(path.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "mfd" || extension == "bin") return DumpFormat::Raw;
  if (extension == "json") return DumpFormat::Json;
  if (extension == "mct" || extension == "txt") return DumpFormat::Mct;
  if (extension == "eml") return DumpFormat::Eml;
  return std::nullopt;
}

const char* formatName(DumpFormat format) {
  return entryOf(format).name;
}
bool formatKeepsUnreadBytes(DumpFormat format) {
  return entryOf(format).keepsUnreadBytes;
}

Parsed<CardImage> parseDump(DumpFormat format, std::string_view contents) {
  return entryOf(format).parse(contents);
}

std::string writeDump(DumpFormat format, const CardImage& image) {
  return entryOf(format).write(image);
}

}  // namespace norvex::dump
