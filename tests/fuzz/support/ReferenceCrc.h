#pragma once
// CRC-16/MCRF4XX written out bit by bit, independently of the library's table-free version, so the
// framing harnesses can build and judge frames without trusting the code under test.
// Parameters: reflected polynomial 0x8408, initial value 0xFFFF, no final XOR; the check value of
// "123456789" is 0x6F91 (the CRC catalogue's entry for CRC-16/MCRF4XX).

#include <cstdint>
#include <span>

inline uint16_t ReferenceCrc(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    for (int bit = 0; bit < 8; ++bit) {
      const bool feedback = ((crc ^ (byte >> bit)) & 1) != 0;
      crc = static_cast<uint16_t>(crc >> 1);
      if (feedback) crc ^= 0x8408;
    }
  }
  return crc;
}
