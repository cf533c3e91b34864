// SPDX-License-Identifier: MIT
#include "sim/cards/CrcA.h"

namespace norvexsim {

std::array<uint8_t, 2> crcA(std::span<const uint8_t> bytes) {
  uint16_t crc = 0x6363;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
  }
  return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)};
}

}  // namespace norvexsim
