// SPDX-License-Identifier: MIT
#include "dump/Hex.h"

namespace norvex::hex {

int digitValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  return -1;
}

char digit(unsigned value) {
  return "0123456789ABCDEF"[value & 0xF];
}

std::string encode(std::span<const uint8_t> bytes, std::string_view separator) {
  std::string text;
  text.reserve(bytes.size() * (2 + separator.size()));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += separator;
    text += digit(bytes[i] >> 4);
    text += digit(bytes[i]);
  }
  return text;
}

std::string encode(const uint8_t* data, std::size_t length, std::string_view separator) {
  return encode(std::span<const uint8_t>(data, length), separator);
}

std::optional<std::vector<uint8_t>> decode(std::string_view text, std::string_view skipped) {
  std::vector<uint8_t> bytes;
  int high = -1;  // the first digit of the pair being read, -1 between pairs
  for (char c : text) {
    if (skipped.find(c) != std::string_view::npos) continue;
    const int value = digitValue(static_cast<unsigned char>(c));
    if (value < 0) return std::nullopt;
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

uint8_t lenientByte(char32_t high, char32_t low) {
  const int h = digitValue(high);
  const int l = digitValue(low);
  return static_cast<uint8_t>((h < 0 ? 0 : h) << 4 | (l < 0 ? 0 : l));
}

}  // namespace norvex::hex
