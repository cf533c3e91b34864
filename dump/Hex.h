// SPDX-License-Identifier: MIT
// The programs' hex codec: bytes as upper-case digit pairs and back. The command-line tool, the
// dump formats and the explorer all spell bytes through it, so a UID or a key reads the same in
// each. (The library keeps its own codec, and the simulator its own, one on each side of the wire.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norvex::hex {

// Value 0-15 of one hexadecimal digit (either case), or -1 for any other character.
int digitValue(char32_t c);

// The upper-case digit of the low four bits of value.
char digit(unsigned value);

// The bytes as upper-case digit pairs, separator between two pairs.
std::string encode(std::span<const uint8_t> bytes, std::string_view separator = {});
std::string encode(const uint8_t* data, std::size_t length, std::string_view separator = {});

// The bytes of a text of digit pairs. A character listed in skipped may stand anywhere and is
// passed over; any other character that is not a digit, or an odd number of digits, gives
// nothing. A text without digits gives no bytes.
std::optional<std::vector<uint8_t>> decode(std::string_view text, std::string_view skipped = {});

// The byte a digit pair spells where a character that is not a digit counts 0: how the editors
// read a pair that is half typed or marked unread ("--").
uint8_t lenientByte(char32_t high, char32_t low);

}  // namespace norvex::hex
