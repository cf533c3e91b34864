// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norvexsim {

// "0A1b" -> {0x0A, 0x1B}; throws std::invalid_argument on an odd length or a non-hex digit.
std::vector<uint8_t> parseHexBytes(std::string_view text);
// Upper-case hex, two digits per byte, no separators.
std::string toHexText(std::span<const uint8_t> bytes);
// Upper-case hex with a space between bytes ("0A 1B"), as air-interface traces show frames.
std::string toSpacedHexText(std::span<const uint8_t> bytes);

}  // namespace norvexsim
