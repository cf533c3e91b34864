// SPDX-License-Identifier: MIT
// Hexadecimal text helpers: keys and UIDs are written as upper-case hex, most significant first.

#include "norvexapi.h"

namespace {

// Value of one hex digit of either case; any other character counts 0 but still takes its place.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

}  // namespace

extern "C" {

NORVEX_API int c2bin(const char* text, int n) {
  unsigned value = 0;
  for (int i = 0; i < n; ++i) value = (value << 4) | static_cast<unsigned>(HexDigitValue(text[i]));
  return static_cast<int>(value);
}

NORVEX_API void bin2c(int value, char* out, int n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto bits = static_cast<unsigned>(value);
  for (int i = n - 1; i >= 0; --i) {
    out[i] = kDigits[bits & 0xF];
    bits >>= 4;
  }
}

NORVEX_API int c2bin2(const char* text) {
  return c2bin(text, 2);
}

NORVEX_API void bin2c2(int value, char* out) {
  bin2c(value, out, 2);
}

}  // extern "C"
