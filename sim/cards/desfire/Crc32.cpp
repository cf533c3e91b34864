// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/Crc32.h"

namespace norvexsim::desfire {

std::array<uint8_t, 4> crc32Of(std::span<const uint8_t> bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? 0xEDB88320u : 0u);
  }
  return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
          static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)};
}

}  // namespace norvexsim::desfire
