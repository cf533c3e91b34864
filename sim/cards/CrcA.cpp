// SPDX-License-Identifier: MIT
#include "sim/cards/CrcA.h"

namespace norvexsim {

namespace {

uint16_t crc16(uint16_t crc, std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
      crc =
          (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

std::array<uint8_t, 2> leastSignificantFirst(uint16_t crc) {
  return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)};
}

}  // namespace

std::array<uint8_t, 2> crcA(std::span<const uint8_t> bytes) {
  return leastSignificantFirst(crc16(0x6363, bytes));
}

std::array<uint8_t, 2> crcB(std::span<const uint8_t> bytes) {
  return leastSignificantFirst(static_cast<uint16_t>(~crc16(0xFFFF, bytes)));
}

}  // namespace norvexsim
