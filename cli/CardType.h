// SPDX-License-Identifier: MIT
// The card family that an ISO 14443-A card's ATQA and SAK announce.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dump/CardImage.h"

namespace norvex::cli {

// ATQA as the card sends it: atqa[0] first (least significant byte).
std::string cardTypeName(const uint8_t atqa[2], uint8_t sak);
bool announcesIso14443_4(uint8_t sak);
// The ATQA as it is usually written: most significant byte (the card's second) first.
std::string atqaText(const uint8_t atqa[2]);
// The Mifare Classic size the SAK announces, or nothing for another family.
std::optional<dump::CardSize> classicSizeOf(uint8_t sak);

}  // namespace norvex::cli
