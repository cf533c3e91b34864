// SPDX-License-Identifier: MIT
// The Mifare Classic value block format: the 32-bit value three times (value, ~value, value;
// least significant byte first, bytes 0-11) and the address byte four times (a, ~a, a, ~a).
#pragma once

#include <cstdint>

#include "dump/CardImage.h"

namespace norvex::cli {

dump::Block encodeValueBlock(uint32_t value, uint8_t address);

// NORVEX_OK with *value set, or the status that names the first fault found, in the order the
// library's value read checks them: value copies that disagree, address bytes that disagree, an
// address other than the block's own number.
long decodeValueBlock(const dump::Block& block, uint8_t blockNumber, uint32_t* value);

}  // namespace norvex::cli
