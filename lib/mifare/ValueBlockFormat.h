// SPDX-License-Identifier: MIT
#pragma once
// The Mifare Classic value block: a 32-bit value kept as value, ~value, value (least significant
// byte first, bytes 0-11) and an address byte kept as a, ~a, a, ~a (bytes 12-15).

#include <array>
#include <cstdint>

using ValueBlock = std::array<uint8_t, 16>;

ValueBlock BuildValueBlock(uint32_t value, uint8_t address);

// Checks a block read from the card, in this order: the three value copies (8030), the four
// address bytes (8033), the address against the block it was read from (8035). On success stores
// the value and returns 0; otherwise leaves *value alone.
long ParseValueBlock(const ValueBlock& block, uint8_t expectedAddress, uint32_t* value);

// The operand of a value instruction: 4 bytes, least significant first.
std::array<uint8_t, 4> ValueOperand(uint32_t value);
