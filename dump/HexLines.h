// SPDX-License-Identifier: MIT
// Hex text shared by the text dump formats, on top of the common codec (dump/Hex.h): blocks as
// 32 hex digits ("--" for an unread byte), and splitting a file into numbered lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dump/CardImage.h"

namespace norvex::dump {

struct Line {
  std::size_t number;     // from 1
  std::string_view text;  // without the line end and surrounding blanks
};

// Every line of the text; "\r\n" and "\n" both end a line; a final line end adds no empty line.
std::vector<Line> splitLines(std::string_view text);

// Parses hex text of exactly expected bytes; an unread byte is "--" when allowUnread.
// On failure returns nothing and sets error to what is wrong (without the line number).
std::optional<std::vector<std::optional<uint8_t>>> parseHexBytes(std::string_view text,
                                                                 std::size_t expected,
                                                                 bool allowUnread,
                                                                 std::string& error);

// Stores parsed bytes into the image from offset on; unread ones are left unread.
void storeBytes(CardImage& image, std::size_t offset,
                const std::vector<std::optional<uint8_t>>& bytes);

// A block in hex with "--" for each unread byte (unreadAsZero writes "00" instead).
std::string blockHex(const CardImage& image, std::size_t block, bool unreadAsZero);

}  // namespace norvex::dump
