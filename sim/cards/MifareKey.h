// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <cstdint>

namespace norvexsim {

// A 6-byte Mifare Classic key, as stored in a sector trailer.
using MifareKey = std::array<uint8_t, 6>;

// Mifare authentication command codes, which the reader also uses as key types.
constexpr uint8_t kAuthKeyA = 0x60;
constexpr uint8_t kAuthKeyB = 0x61;

}  // namespace norvexsim
