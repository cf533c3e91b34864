// SPDX-License-Identifier: MIT
#pragma once
// Mifare Classic value block format: a 32-bit value stored as value, ~value, value (least
// significant byte first) in bytes 0-11, and an address byte stored as a, ~a, a, ~a in bytes
// 12-15.

#include <cstdint>
#include <optional>
#include <span>

namespace norvexsim::classic {

// The value, or std::nullopt when the value or address bytes break the format.
std::optional<uint32_t> valueOf(std::span<const uint8_t, 16> block);
// Writes the three copies of value into bytes 0-11 and leaves the address bytes alone.
void storeValue(std::span<uint8_t, 16> block, uint32_t value);

}  // namespace norvexsim::classic
