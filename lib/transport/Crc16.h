// SPDX-License-Identifier: MIT
#pragma once

// CRC-16/MCRF4XX, the checksum that closes every reader frame: reflected polynomial 0x8408
// (0x1021 bit-reversed), initial value 0xFFFF, data taken least significant bit first, no final
// XOR. Check value over the ASCII text "123456789": 0x6F91.
//
// Deliberately free of any other project header: the reader simulator computes the same checksum
// on the device side.

#include <array>
#include <cstddef>
#include <cstdint>

namespace crc16detail {

constexpr std::array<uint16_t, 256> MakeMcrf4xxTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    uint16_t crc = static_cast<uint16_t>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408u)
                       : static_cast<uint16_t>(crc >> 1);
    table[byte] = crc;
  }
  return table;
}

inline constexpr std::array<uint16_t, 256> kMcrf4xxTable = MakeMcrf4xxTable();

}  // namespace crc16detail

inline constexpr uint16_t crc16Mcrf4xx(const uint8_t* data, size_t n) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < n; ++i)
    crc = static_cast<uint16_t>((crc >> 8) ^ crc16detail::kMcrf4xxTable[(crc ^ data[i]) & 0xFFu]);
  return crc;
}
