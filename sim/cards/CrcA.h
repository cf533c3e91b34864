// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace norvexsim {

// The CRC_A of ISO/IEC 14443-3 (initial value 0x6363, reflected polynomial 0x8408), as the two
// bytes that follow a frame on the air, least significant first.
std::array<uint8_t, 2> crcA(std::span<const uint8_t> bytes);
// The CRC_B of type B frames: initial value 0xFFFF, the same polynomial, complemented at the end.
std::array<uint8_t, 2> crcB(std::span<const uint8_t> bytes);

}  // namespace norvexsim
