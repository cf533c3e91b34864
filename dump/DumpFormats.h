// SPDX-License-Identifier: MIT
// Card dump files: parsing and writing the formats other Mifare tools exchange.
//
//   Raw (.mfd, .bin)  the card memory byte for byte: 320, 1024 or 4096 bytes. Unread bytes are
//                     written as zero (the format cannot mark them).
//   JSON (.json)      the card tools' layout: Card (UID, ATQA, SAK), blocks keyed by number (a
//                     block not read whole left out) and per sector the keys and access bytes;
//                     MIFARE Classic Tool's export and this program's first layout also load.
//   MCT (.mct, .txt)  for each sector a line "+Sector: N", then one line of 32 hex digits per
//                     block, "-" for each digit of an unread byte.
//   EML (.eml)        one line of 32 hex digits per block. Unread bytes are written as zero.
//
// A parser returns the image or one error naming the line (text formats) or the offset (raw) at
// fault; it never returns part of a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dump/CardImage.h"

namespace norvex::dump {

enum class DumpFormat { Raw, Json, Mct, Eml };

// The format a file name's extension selects (case-insensitive), or nothing for another one.
std::optional<DumpFormat> formatOfPath(std::string_view path);
const char* formatName(DumpFormat format);
// Whether the format can mark unread bytes (otherwise they are written as zero).
bool formatKeepsUnreadBytes(DumpFormat format);

template <typename T>
struct Parsed {
  std::optional<T> value;
  std::string error;  // set when value is empty
  static Parsed failure(std::string message) { return {std::nullopt, std::move(message)}; }
};

Parsed<CardImage> parseRaw(std::string_view bytes);
Parsed<CardImage> parseJson(std::string_view text);
Parsed<CardImage> parseMct(std::string_view text);
Parsed<CardImage> parseEml(std::string_view text);
Parsed<CardImage> parseDump(DumpFormat format, std::string_view contents);

std::string writeRaw(const CardImage& image);
std::string writeJson(const CardImage& image);
std::string writeMct(const CardImage& image);
std::string writeEml(const CardImage& image);
std::string writeDump(DumpFormat format, const CardImage& image);

}  // namespace norvex::dump
