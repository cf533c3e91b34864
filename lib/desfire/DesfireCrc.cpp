// SPDX-License-Identifier: MIT
// The CRC of ISO/IEC 14443-3 (CRC_A and CRC_B), the one DESFire cryptograms carry.

#include "norvexapi.h"

namespace {

constexpr int kCrcA = 1, kCrcB = 2;
constexpr uint16_t kCrcAPreset = 0x6363, kCrcBPreset = 0xFFFF;

}  // namespace

extern "C" {

NORVEX_API uint16_t UpdateCrc(uint8_t ch, uint16_t* crc) {
  ch = static_cast<uint8_t>(ch ^ (*crc & 0xFF));
  ch = static_cast<uint8_t>(ch ^ (ch << 4));
  *crc = static_cast<uint16_t>((*crc >> 8) ^ (ch << 8) ^ (ch << 3) ^ (ch >> 4));
  return *crc;
}

// A length of 0 or less processes no byte: the result is the CRC of no data.
NORVEX_API void ComputeCrc(int type, const char* data, int len, uint8_t* first, uint8_t* second) {
  if (type != kCrcA && type != kCrcB) return;
  uint16_t crc = type == kCrcA ? kCrcAPreset : kCrcBPreset;
  for (int i = 0; i < len; ++i) UpdateCrc(static_cast<uint8_t>(data[i]), &crc);
  if (type == kCrcB) crc = static_cast<uint16_t>(~crc);
  *first = static_cast<uint8_t>(crc & 0xFF);
  *second = static_cast<uint8_t>(crc >> 8);
}

}  // extern "C"
