// SPDX-License-Identifier: MIT
// Reading and writing dump files on disk, the format chosen by the file name's extension.
#pragma once

#include <string>

#include "dump/DumpFormats.h"

namespace norvex::dump {

// Files larger than this are refused before they are read: no card image comes near it.
constexpr std::size_t kMaxDumpFileBytes = 1 << 20;

// Errors name the file ("card.mct: line 3: ...").
Parsed<CardImage> loadDumpFile(const std::string& path);
Parsed<std::string> readWholeFile(const std::string& path, std::size_t limit);
// Writes the whole file or reports why not; returns the empty string on success.
std::string saveDumpFile(const std::string& path, const CardImage& image);

}  // namespace norvex::dump
