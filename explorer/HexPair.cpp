// SPDX-License-Identifier: MIT
#include "HexPair.h"

int HexDigitValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  return -1;
}

uint8_t HexPairToByte(QStringView pair) {
  if (pair.size() != 2) return 0;
  const int high = HexDigitValue(pair[0]);
  const int low = HexDigitValue(pair[1]);
  return static_cast<uint8_t>((high < 0 ? 0 : high) * 16 + (low < 0 ? 0 : low));
}

bool IsHexText(QStringView text) {
  for (QChar c : text) {
    if (HexDigitValue(c) < 0) return false;
  }
  return true;
}
