// SPDX-License-Identifier: MIT
#pragma once
// Legacy DESFire secure messaging under the session key. MACed: the data and the first 4 bytes
// of its CBC-MAC (zero padding up to the next multiple of 8 only). Enciphered: the data, its
// CRC_A (initial value 6363) and zero padding to a multiple of 8; the card enciphers in CBC with
// a zero IV per command and recovers the reader's send-mode cryptograms.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/cards/desfire/DesfireModel.h"

namespace norvexsim::desfire {

std::array<uint8_t, 4> macOf(const Key& sessionKey, std::span<const uint8_t> data);
// What the card sends for plain data under a communication setting.
std::vector<uint8_t> secureForReader(uint8_t setting, const Key& sessionKey,
                                     std::span<const uint8_t> data);
// The length of plainLength bytes once secured.
size_t securedLength(uint8_t setting, size_t plainLength);
// The plain data of what the reader sent, std::nullopt when its MAC or CRC does not match or
// its length is not that of plainLength secured bytes.
std::optional<std::vector<uint8_t>> openFromReader(uint8_t setting, const Key& sessionKey,
                                                   std::span<const uint8_t> received,
                                                   size_t plainLength);

}  // namespace norvexsim::desfire
