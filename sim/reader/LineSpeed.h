// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvexsim {

// The reader's serial speed codes (instructions 0x82 and 0x83): 0 9600, 1 19200, 2 57600,
// 3 115200, 4 38400 bit/s.
inline constexpr uint8_t kHighestSpeedCode = 4;
inline constexpr uint8_t kSpeedCode115200 = 3;

// The speed of a code in bit/s; std::nullopt for a code above 4.
std::optional<unsigned> speedOfCode(uint8_t code);

// A jumper setting as written on the command line: a speed of the table ("38400") or a raw code
// byte ("code:9", 0-255, for readers that report codes outside the table); std::nullopt for
// anything else.
std::optional<uint8_t> parseJumperSetting(std::string_view text);

// "38400" for a code of the table, "code 9" for any other.
std::string describeSpeedCode(uint8_t code);

}  // namespace norvexsim
