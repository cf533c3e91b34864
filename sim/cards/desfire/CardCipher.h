// SPDX-License-Identifier: MIT
#pragma once
// The card side of DESFire legacy ciphering: the card only ever enciphers (DES or two-key triple
// DES, EDE with K3 = K1). What it sends is CBC-enciphered with a zero IV; what the reader sent in
// its send mode the card recovers by enciphering each block and XORing the previous received one.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/cards/desfire/DesfireModel.h"

namespace norvexsim::desfire {

std::vector<uint8_t> encipherForReader(const Key& key, std::span<const uint8_t> plain);
std::vector<uint8_t> recoverFromReader(const Key& key, std::span<const uint8_t> received);

}  // namespace norvexsim::desfire
