// SPDX-License-Identifier: MIT
#pragma once
// Conversion of a two-character hexadecimal pair, as keys and editor bytes are written.

#include <QStringView>
#include <cstdint>

// Value 0-15 of one hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(QChar c);

// A two-character pair to its byte: the first digit counts 16 times, the second once; a character
// that is not a hexadecimal digit counts 0. Any length other than 2 gives 0.
uint8_t HexPairToByte(QStringView pair);

// True when the text consists of hexadecimal digits only (either case).
bool IsHexText(QStringView text);
