// SPDX-License-Identifier: MIT
#pragma once
// The 12-byte form in which the host sends a Mifare key to the reader: every key nibble in the
// low half of one byte, its complement in the high half, high nibble first.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "sim/cards/MifareKey.h"

namespace norvexsim {

using CodedKey = std::array<uint8_t, 12>;

// std::nullopt when a byte's halves are not a nibble and its complement.
std::optional<MifareKey> decodeKey(std::span<const uint8_t, 12> coded);
CodedKey encodeKey(const MifareKey& key);

}  // namespace norvexsim
