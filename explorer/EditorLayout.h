// SPDX-License-Identifier: MIT
#pragma once
// Geometry shared by the hex and ASCII editors: one whole-card data image of a Mifare 4K card
// (32 sectors of 48 bytes and 8 of 240), 16 bytes per line, three hex characters per byte.

#include <QChar>
#include <array>
#include <bitset>
#include <cstdint>

namespace editor {

constexpr int kImageBytes = 3456;
constexpr int kBytesPerLine = 16;
constexpr int kLines = kImageBytes / kBytesPerLine;

// Hex text: "XX " per byte; byte i is the pair at 3i, 3i+1 and 3i+2 is always a space.
constexpr int kHexCharsPerByte = 3;
constexpr int kHexChars = kImageBytes * kHexCharsPerByte;
constexpr int kHexLineChars = kBytesPerLine * kHexCharsPerByte;

using ByteImage = std::array<uint8_t, kImageBytes>;
// Which bytes of the image hold card data (read from the card, or edited since): the others
// show as "--" and cannot be edited, so they can never be mistaken for zeros or written.
using KnownBytes = std::bitset<kImageBytes>;

inline KnownBytes AllKnown() {
  return KnownBytes().set();
}

// A selection as (location, length), as the views exchange it.
struct TextRange {
  int location = 0;
  int length = 0;
  bool operator==(const TextRange&) const = default;
};

// A byte has its own glyph in the ASCII view when it is printable ASCII (0x20 to 0x7E).
constexpr bool IsPrintable(uint8_t byte) {
  return byte >= 0x20 && byte <= 0x7E;
}

// What the ASCII view shows for a byte: the character itself when printable, else a substitute.
inline QChar DisplayedChar(uint8_t byte) {
  return IsPrintable(byte) ? QChar(byte) : QChar(0x00B7);
}

}  // namespace editor
