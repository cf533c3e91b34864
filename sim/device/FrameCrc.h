// SPDX-License-Identifier: MIT
#pragma once
// The checksum that closes every reader frame, computed on the device side: CRC-16/MCRF4XX
// (reflected polynomial 0x8408, initial value 0xFFFF, no final XOR; check value over "123456789":
// 0x6F91). Written bit by bit and apart from the library's own table-driven one, so that the two
// sides stay independent witnesses of each other.

#include <cstddef>
#include <cstdint>

namespace norvexsim {

inline uint16_t frameCrc(const uint8_t* data, size_t length) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408u)
                       : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

}  // namespace norvexsim
