// SPDX-License-Identifier: MIT
#pragma once
// A DESFire EV1 as NFC Forum formatters leave it: the type 4 tag application (DF name D2 76 00 00
// 85 01 01, ISO identifier E110, AID EEEE10, one DES key, free file creation) with the capability
// container in file 1 (ISO E103, readable by anyone) and the NDEF file in file 2 (ISO E104,
// readable and writable by anyone), holding a message.

#include <cstdint>
#include <span>

#include "sim/cards/desfire/DesfireApp.h"

namespace norvexsim::desfire {

inline constexpr size_t kNdefFileSize = 1024;

// Creates the application through the card's own native commands; throws std::invalid_argument
// when the message does not fit the NDEF file.
void placeNdefApplication(DesfireApp& card, std::span<const uint8_t> message);

}  // namespace norvexsim::desfire
