// SPDX-License-Identifier: MIT
// Reading and writing dump files on disk, the format chosen by the file name's extension.
#pragma once

#include <string>
#include <string_view>

#include "dump/DumpFormats.h"

namespace norvex::dump {

// Files larger than this are refused before they are read: no card image comes near it.
constexpr std::size_t kMaxDumpFileBytes = 1 << 20;

// Errors name the file ("card.mct: line 3: ...").
Parsed<CardImage> loadDumpFile(const std::string& path);
Parsed<std::string> readWholeFile(const std::string& path, std::size_t limit);

// Whether a file may be written at path: "" when nothing is there or a regular file is (a link
// to one counts as one); otherwise why not. A FIFO would block the writer until someone reads
// it, and a device or a folder is no place for a dump.
std::string checkOutputPath(const std::string& path);
bool regularFileExists(const std::string& path);

// Replaces path with contents as one step: a temporary file in the same folder is written,
// flushed to disk and renamed over it, so that path holds either its old contents or the new ones,
// never a part. A file replaced keeps its permissions; a link is followed to the file it names.
// Returns "" on success, or why it failed (path then keeps what it held).
std::string writeFileAtomically(const std::string& path, std::string_view contents);

// Writes the whole dump (atomically, as above) or reports why not; "" on success. The format is
// the extension's, or the one given.
std::string saveDumpFile(const std::string& path, const CardImage& image);
std::string saveDumpFile(const std::string& path, const CardImage& image, DumpFormat format);

}  // namespace norvex::dump
