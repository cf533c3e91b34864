// SPDX-License-Identifier: MIT
#include "sim/cards/HexBytes.h"

#include <stdexcept>

namespace norvexsim {
namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<uint8_t> parseHexBytes(std::string_view text) {
  if (text.size() % 2 != 0) {
    throw std::invalid_argument("odd number of hex digits in '" + std::string(text) + "'");
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = digitValue(text[i]);
    int low = digitValue(text[i + 1]);
    if (high < 0 || low < 0) {
      throw std::invalid_argument("not a hex number: '" + std::string(text) + "'");
    }
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return bytes;
}

std::string toHexText(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

std::string toSpacedHexText(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    if (!text.empty()) text.push_back(' ');
    text += toHexText({&b, 1});
  }
  return text;
}

}  // namespace norvexsim
