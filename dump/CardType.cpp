// SPDX-License-Identifier: MIT
// SAK bit 0x08 with bit 0x10 tells the Mifare Classic sizes apart; bit 0x20 announces ISO 14443-4
// (a card with both bits is a Classic that also speaks ISO 14443-4, such as a Plus in level 1 or
// a phone emulating one). SAK 0x00 with ATQA 0x0044 is the Ultralight / NTAG family.
#include "dump/CardType.h"

#include "dump/Hex.h"

namespace norvex::dump {

namespace {
constexpr uint8_t kSakClassic = 0x08;
constexpr uint8_t kSakLargeClassic = 0x10;
constexpr uint8_t kSakMini = 0x09;
constexpr uint8_t kSakIso14443_4 = 0x20;
}  // namespace

std::string atqaText(const uint8_t atqa[2]) {
  const uint8_t ordered[2] = {atqa[1], atqa[0]};
  return hex::encode(ordered, 2);
}

bool announcesIso14443_4(uint8_t sak) {
  return (sak & kSakIso14443_4) != 0;
}

std::optional<CardSize> classicSizeOf(uint8_t sak) {
  if (sak == kSakMini) return CardSize::Mini;
  if ((sak & kSakClassic) == 0) return std::nullopt;
  return (sak & kSakLargeClassic) ? CardSize::Classic4K : CardSize::Classic1K;
}

CardType cardTypeOf(const uint8_t atqa[2], uint8_t sak) {
  const unsigned atqaValue = static_cast<unsigned>(atqa[1]) << 8 | atqa[0];
  if (sak == kSakMini) return {"classicmini", "Mifare Classic Mini"};
  if (auto size = classicSizeOf(sak)) {
    const bool large = *size == CardSize::Classic4K;
    const std::string name = large ? "Mifare Classic 4K" : "Mifare Classic 1K";
    return {large ? "classic4k" : "classic1k",
            announcesIso14443_4(sak) ? name + " with ISO 14443-4" : name};
  }
  if (sak == 0x10 || sak == 0x11) return {"plus-sl2", "Mifare Plus (security level 2)"};
  if (announcesIso14443_4(sak)) {
    if (atqaValue == 0x0344 || atqaValue == 0x0304)
      return {"desfire", "Mifare DESFire (ISO 14443-4)"};
    return {"iso14443-4", "ISO 14443-4 card"};
  }
  if (sak == 0x00 && atqaValue == 0x0044) return {"ultralight", "Mifare Ultralight / NTAG"};
  return {"iso14443a", "ISO 14443-A card"};
}

std::string cardTypeName(const uint8_t atqa[2], uint8_t sak) {
  return cardTypeOf(atqa, sak).name;
}

std::string cardDescription(const std::vector<uint8_t>& uid, const uint8_t atqa[2], uint8_t sak) {
  return "UID " + hex::encode(uid) + ", SAK " + hex::encode(&sak, 1) + ", " +
         cardTypeName(atqa, sak);
}

}  // namespace norvex::dump
