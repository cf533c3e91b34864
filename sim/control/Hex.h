// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvexsim {

// "04A1B2" for the bytes 04 A1 B2: upper case, two digits per byte, no separators.
std::string toHex(const std::vector<uint8_t>& bytes);

// The bytes of a hexadecimal text (either case, an even number of digits, no separators);
// std::nullopt for anything else, the empty text included.
std::optional<std::vector<uint8_t>> parseHex(std::string_view text);

}  // namespace norvexsim
