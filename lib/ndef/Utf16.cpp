// SPDX-License-Identifier: MIT
// UTF-8 and UTF-16 conversion for Text records stored in UTF-16.

#include "ndef/NdefPayloads.h"

namespace {

// Decodes one UTF-8 sequence at text[i], advancing i; false for ill-formed bytes.
bool NextCodePoint(const std::string& text, std::size_t& i, char32_t& point) {
  const auto lead = static_cast<std::uint8_t>(text[i++]);
  int extra = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    point = lead;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, point = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, point = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, point = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size()) return false;
    const auto next = static_cast<std::uint8_t>(text[i++]);
    if ((next & 0xC0) != 0x80) return false;
    point = (point << 6) | (next & 0x3F);
  }
  return point >= minimum && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
}

void PutUnit(std::vector<std::uint8_t>& out, char32_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit >> 8));
  out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
}

void PutUtf8(std::string& out, char32_t point) {
  auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
  if (point < 0x80) {
    put(point);
  } else if (point < 0x800) {
    put(0xC0 | (point >> 6)), put(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    put(0xE0 | (point >> 12)), put(0x80 | ((point >> 6) & 0x3F)), put(0x80 | (point & 0x3F));
  } else {
    put(0xF0 | (point >> 18)), put(0x80 | ((point >> 12) & 0x3F));
    put(0x80 | ((point >> 6) & 0x3F)), put(0x80 | (point & 0x3F));
  }
}

}  // namespace

bool Utf8ToUtf16Be(const std::string& utf8, std::vector<std::uint8_t>& utf16) {
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t point = 0;
    if (!NextCodePoint(utf8, i, point)) return false;
    if (point < 0x10000) {
      PutUnit(utf16, point);
    } else {
      point -= 0x10000;
      PutUnit(utf16, 0xD800 | (point >> 10));
      PutUnit(utf16, 0xDC00 | (point & 0x3FF));
    }
  }
  return true;
}

bool Utf16ToUtf8(std::span<const std::uint8_t> utf16, bool littleEndian, std::string& utf8) {
  if (utf16.size() % 2 != 0) return false;
  auto unit = [&](std::size_t k) -> char32_t {
    const std::uint8_t a = utf16[2 * k], b = utf16[2 * k + 1];
    return littleEndian ? (char32_t{b} << 8 | a) : (char32_t{a} << 8 | b);
  };
  const std::size_t units = utf16.size() / 2;
  for (std::size_t k = 0; k < units; ++k) {
    char32_t point = unit(k);
    if (point >= 0xDC00 && point <= 0xDFFF) return false;
    if (point >= 0xD800 && point <= 0xDBFF) {
      if (k + 1 >= units) return false;
      const char32_t low = unit(++k);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
    }
    PutUtf8(utf8, point);
  }
  return true;
}
