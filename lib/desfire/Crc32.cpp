// SPDX-License-Identifier: MIT
#include "desfire/Crc32.h"

namespace desfire {

uint32_t Crc32(const uint8_t* data, size_t len, uint32_t crc) {
  constexpr uint32_t kPolynomial = 0xEDB88320;
  for (size_t i = 0; i < len; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) != 0 ? kPolynomial : 0);
  }
  return crc;
}

void AppendCrc32(std::vector<uint8_t>& bytes, uint32_t crc) {
  for (size_t i = 0; i < kCrc32Length; ++i) bytes.push_back(static_cast<uint8_t>(crc >> (8 * i)));
}

}  // namespace desfire
