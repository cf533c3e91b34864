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

using Table = std::array<uint16_t, 256>;

// kTables[0] is the byte-at-a-time table; kTables[k] advances a byte's contribution through k
// further zero bytes, so that four bytes are folded in with four independent look-ups.
constexpr std::array<Table, 4> MakeMcrf4xxTables() {
  std::array<Table, 4> tables{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    uint16_t crc = static_cast<uint16_t>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408u)
                       : static_cast<uint16_t>(crc >> 1);
    tables[0][byte] = crc;
  }
  for (size_t k = 1; k < tables.size(); ++k)
    for (unsigned byte = 0; byte < 256; ++byte) {
      const uint16_t previous = tables[k - 1][byte];
      tables[k][byte] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFFu]);
    }
  return tables;
}

inline constexpr std::array<Table, 4> kMcrf4xxTables = MakeMcrf4xxTables();

}  // namespace crc16detail

// Four bytes a step (the frames of a reader exchange are mostly tens of bytes), then the rest
// one at a time.
inline constexpr uint16_t crc16Mcrf4xx(const uint8_t* data, size_t n) {
  const auto& t = crc16detail::kMcrf4xxTables;
  uint16_t crc = 0xFFFF;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const unsigned low = (crc ^ data[i]) & 0xFFu;
    const unsigned high = ((crc >> 8) ^ data[i + 1]) & 0xFFu;
    crc = static_cast<uint16_t>(t[3][low] ^ t[2][high] ^ t[1][data[i + 2]] ^ t[0][data[i + 3]]);
  }
  for (; i < n; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFFu]);
  return crc;
}
