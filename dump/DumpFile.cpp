// SPDX-License-Identifier: MIT
#include "dump/DumpFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace norvex::dump {

Parsed<std::string> readWholeFile(const std::string& path, std::size_t limit) {
  using Result = Parsed<std::string>;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return Result::failure(path + ": " + std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return Result::failure(path + ": not a regular file");
  if (static_cast<std::size_t>(info.st_size) > limit)
    return Result::failure(path + ": larger than " + std::to_string(limit) + " bytes");
  std::ifstream in(path, std::ios::binary);
  if (!in) return Result::failure(path + ": " + std::strerror(errno));
  std::string contents;
  contents.resize(limit + 1);
  in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (in.bad()) return Result::failure(path + ": read error");
  contents.resize(static_cast<std::size_t>(in.gcount()));
  if (contents.size() > limit)
    return Result::failure(path + ": larger than " + std::to_string(limit) + " bytes");
  return {std::move(contents), {}};
}

Parsed<CardImage> loadDumpFile(const std::string& path) {
  auto format = formatOfPath(path);
  if (!format)
    return Parsed<CardImage>::failure(path +
                                      ": unknown dump format (use .mfd, .bin, .json, .mct, "
                                      ".txt or .eml)");
  auto contents = readWholeFile(path, kMaxDumpFileBytes);
  if (!contents.value) return Parsed<CardImage>::failure(contents.error);
  auto image = parseDump(*format, *contents.value);
  if (!image.value) image.error = path + ": " + image.error;
  return image;
}

std::string saveDumpFile(const std::string& path, const CardImage& image) {
  auto format = formatOfPath(path);
  if (!format) return path + ": unknown dump format (use .mfd, .bin, .json, .mct, .txt or .eml)";
  return saveDumpFile(path, image, *format);
}

std::string saveDumpFile(const std::string& path, const CardImage& image, DumpFormat format) {
  return writeFileAtomically(path, writeDump(format, image));
}

}  // namespace norvex::dump
