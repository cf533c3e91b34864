// SPDX-License-Identifier: MIT
#include "AccessBits.h"

#include <array>

#include "dump/TrailerSafety.h"

namespace access_bits {

namespace {

constexpr int kTrailerBit = 3;
constexpr int kDataGroups = 3;
constexpr int kDisplayedDataGroup = 2;

int Bit(uint8_t byte, int bit) {
  return (byte >> bit) & 1;
}

void SetBit(uint8_t& byte, int bit, int value) {
  if (value != 0) {
    byte = static_cast<uint8_t>(byte | (1u << bit));
  } else {
    byte = static_cast<uint8_t>(byte & ~(1u << bit));
  }
}

// Writes one block group's C1, C2, C3 and their inverted copies; `bit` is the group's bit within
// a nibble (0 to 2 for the data groups, 3 for the trailer).
void WriteGroup(AccessBytes& bytes, int bit, const AreaBits& bits) {
  SetBit(bytes.b6, 4 + bit, bits.c2 == 0);
  SetBit(bytes.b6, bit, bits.c1 == 0);
  SetBit(bytes.b7, 4 + bit, bits.c1);
  SetBit(bytes.b7, bit, bits.c3 == 0);
  SetBit(bytes.b8, 4 + bit, bits.c3);
  SetBit(bytes.b8, bit, bits.c2);
}

AreaBits ReadGroup(uint8_t b7, uint8_t b8, int bit) {
  return {Bit(b7, 4 + bit), Bit(b8, bit), Bit(b8, 4 + bit)};
}

// Rights in the condition order of the Mifare Classic tables, index C1*4 + C2*2 + C3; "A|B" means
// either key.
constexpr std::array<const char*, kRows> kDataRights{
    "read A|B, write A|B, increment A|B, decrement A|B (transport)",
    "read A|B, decrement A|B (value block, not rechargeable)",
    "read A|B, no write",
    "read B, write B",
    "read A|B, write B",
    "read B, no write",
    "read A|B, write B, increment B, decrement A|B (value block)",
    "no access",
};

constexpr std::array<const char*, kRows> kTrailerRights{
    "key A: write A; access bits: read A; key B: read A, write A",
    "key A: write A; access bits: read A, write A; key B: read A, write A (transport)",
    "key A: never; access bits: read A; key B: read A",
    "key A: write B; access bits: read A|B, write B; key B: write B",
    "key A: write B; access bits: read A|B; key B: write B",
    "key A: never; access bits: read A|B, write B; key B: never",
    "key A: never; access bits: read A|B; key B: never (locked)",
    "key A: never; access bits: read A|B; key B: never (locked)",
};

QString RowText(int row, const std::array<const char*, kRows>& rights) {
  const AreaBits bits = RowBits(row);
  const int condition = bits.c1 * 4 + bits.c2 * 2 + bits.c3;
  return QStringLiteral("%1%2%3 \u2013 %4")
      .arg(bits.c1)
      .arg(bits.c2)
      .arg(bits.c3)
      .arg(QString::fromLatin1(rights[static_cast<std::size_t>(condition)]));
}

}  // namespace

AreaBits RowBits(int row) {
  if (row < 0 || row >= kRows) return {};
  return {(row >> 1) & 1, row & 1, (row >> 2) & 1};
}

int ValutateDataBits(int c1, int c2, int c3) {
  const auto isBit = [](int value) { return value == 0 || value == 1; };
  if (!isBit(c1) || !isBit(c2) || !isBit(c3)) return -1;
  return 4 * c3 + 2 * c1 + c2;
}

AccessBytes GenerateACLBytes(int dataRow, int trailerRow) {
  AccessBytes bytes;
  const AreaBits data = RowBits(dataRow);
  for (int group = 0; group < kDataGroups; ++group) WriteGroup(bytes, group, data);
  WriteGroup(bytes, kTrailerBit, RowBits(trailerRow));
  return bytes;
}

AreaBits DataAreaBits(uint8_t b7, uint8_t b8) {
  return ReadGroup(b7, b8, kDisplayedDataGroup);
}

AreaBits TrailerAreaBits(uint8_t b7, uint8_t b8) {
  return ReadGroup(b7, b8, kTrailerBit);
}

bool InvertedCopiesAgree(const AccessBytes& bytes) {
  const uint8_t acl[] = {bytes.b6, bytes.b7, bytes.b8};
  return norvex::dump::accessBitsConsistent(acl);
}

QString DecToBin(uint8_t byte) {
  QString text;
  for (int bit = 7; bit >= 0; --bit)
    text += Bit(byte, bit) != 0 ? QLatin1Char('1') : QLatin1Char('0');
  return text;
}

QString DataRowText(int row) {
  return RowText(row, kDataRights);
}

QString TrailerRowText(int row) {
  return RowText(row, kTrailerRights);
}

}  // namespace access_bits
