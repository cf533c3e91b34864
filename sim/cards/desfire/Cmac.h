// SPDX-License-Identifier: MIT
#pragma once
// CMAC (NIST SP 800-38B) over the card's block ciphers: subkeys from the enciphered zero block
// (R = 0x87 for 16-byte blocks, 0x1B for 8-byte ones), the last block XORed with K1 when whole,
// else padded with 80 00.. and XORed with K2. The CBC starts from a given IV instead of zero, as
// EV1 secure messaging chains one CMAC into the next.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/cards/desfire/CardCipher.h"

namespace norvexsim::desfire {

// The whole CMAC (one block) of message with the CBC started from iv (one block).
std::vector<uint8_t> cmacOf(const BlockCipher& cipher, std::span<const uint8_t> iv,
                            std::span<const uint8_t> message);

}  // namespace norvexsim::desfire
