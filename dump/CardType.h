// SPDX-License-Identifier: MIT
// The card family that an ISO 14443-A card's ATQA and SAK announce.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dump/CardImage.h"

namespace norvex::dump {

// What a card's ATQA and SAK announce: a stable identifier for scripts (the simulator's card kind
// where there is one: "classic1k", "desfire", "ultralight", ...) and the name shown to people.
struct CardType {
  std::string kind;
  std::string name;
};

// ATQA as the card sends it: atqa[0] first (least significant byte).
CardType cardTypeOf(const uint8_t atqa[2], uint8_t sak);
std::string cardTypeName(const uint8_t atqa[2], uint8_t sak);
// "UID 04A1B2C3, SAK 08, Mifare Classic 1K": the card named in an error message.
std::string cardDescription(const std::vector<uint8_t>& uid, const uint8_t atqa[2], uint8_t sak);

// The ISO 14443-B family, which has no ATQA and SAK.
inline const CardType kTypeBCard{"iso14443b", "ISO 14443-B"};
bool announcesIso14443_4(uint8_t sak);
// The ATQA as it is usually written: most significant byte (the card's second) first.
std::string atqaText(const uint8_t atqa[2]);
// The Mifare Classic size the SAK announces, or nothing for another family.
std::optional<CardSize> classicSizeOf(uint8_t sak);

}  // namespace norvex::dump
