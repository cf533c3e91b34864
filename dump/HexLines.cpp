// SPDX-License-Identifier: MIT
#include "dump/HexLines.h"

#include "dump/Hex.h"

namespace norvex::dump {

namespace {

std::string_view trimmed(std::string_view text) {
  const char* blanks = " \t\r";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

std::string printable(char c) {
  if (c >= 0x20 && c < 0x7F) return std::string("'") + c + "'";
  auto byte = static_cast<unsigned char>(c);
  return std::string("byte 0x") + hex::digit(byte >> 4) + hex::digit(byte);
}

}  // namespace

std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t number = 1;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    lines.push_back({number++, trimmed(line)});
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::optional<std::vector<std::optional<uint8_t>>> parseHexBytes(std::string_view text,
                                                                 std::size_t expected,
                                                                 bool allowUnread,
                                                                 std::string& error) {
  if (text.size() != expected * 2) {
    error = std::to_string(text.size()) + " characters where " + std::to_string(expected * 2) +
            " hex digits belong";
    return std::nullopt;
  }
  std::vector<std::optional<uint8_t>> bytes(expected);
  for (std::size_t i = 0; i < expected; ++i) {
    char high = text[2 * i], low = text[2 * i + 1];
    if (allowUnread && high == '-' && low == '-') continue;
    for (std::size_t k : {2 * i, 2 * i + 1}) {
      if (hex::digitValue(static_cast<unsigned char>(text[k])) < 0) {
        error =
            "column " + std::to_string(k + 1) + ": " + printable(text[k]) + " is not a hex digit";
        if (allowUnread && (text[k] == '-'))
          error = "column " + std::to_string(k + 1) + ": half of a byte marked unread";
        return std::nullopt;
      }
    }
    bytes[i] = hex::lenientByte(static_cast<unsigned char>(high), static_cast<unsigned char>(low));
  }
  return bytes;
}

void storeBytes(CardImage& image, std::size_t offset,
                const std::vector<std::optional<uint8_t>>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i]) image.setByte(offset + i, *bytes[i]);
}

std::string blockHex(const CardImage& image, std::size_t block, bool unreadAsZero) {
  std::string text;
  for (std::size_t i = 0; i < kBlockSize; ++i) {
    std::size_t offset = block * kBlockSize + i;
    uint8_t value = image.byte(offset);
    text += image.isKnown(offset) || unreadAsZero ? hex::encode(&value, 1) : std::string("--");
  }
  return text;
}

}  // namespace norvex::dump
