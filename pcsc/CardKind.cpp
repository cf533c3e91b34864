// SPDX-License-Identifier: MIT
#include "pcsc/CardKind.h"

namespace norvex::pcsc {

namespace {
constexpr uint8_t kSakIso14443_4 = 0x20;
constexpr uint8_t kSakClassic1K = 0x08, kSakClassic4K = 0x18, kSakClassicMini = 0x09;
constexpr uint16_t kAtqaUltralight = 0x0044;
}  // namespace

CardKind classifyCard(uint8_t sak, uint16_t atqa) {
  if (sak & kSakIso14443_4) return CardKind::Iso14443_4;
  switch (sak) {
    case kSakClassic1K:
      return CardKind::Classic1K;
    case kSakClassic4K:
      return CardKind::Classic4K;
    case kSakClassicMini:
      return CardKind::ClassicMini;
    case 0x00:
      return atqa == kAtqaUltralight ? CardKind::Ultralight : CardKind::OtherStorage;
    default:
      return CardKind::OtherStorage;
  }
}

bool speaksIso14443_4(CardKind kind) {
  return kind == CardKind::Iso14443_4 || kind == CardKind::TypeB;
}

bool isMifareClassic(CardKind kind) {
  return kind == CardKind::Classic1K || kind == CardKind::Classic4K ||
         kind == CardKind::ClassicMini;
}

uint16_t storageCardName(CardKind kind) {
  switch (kind) {
    case CardKind::Classic1K:
      return 0x0001;
    case CardKind::Classic4K:
      return 0x0002;
    case CardKind::Ultralight:
      return 0x0003;
    case CardKind::ClassicMini:
      return 0x0026;
    default:
      return 0x0000;
  }
}

unsigned classicBlockCount(CardKind kind) {
  switch (kind) {
    case CardKind::Classic1K:
      return 64;
    case CardKind::Classic4K:
      return 256;
    case CardKind::ClassicMini:
      return 20;
    default:
      return 0;
  }
}

unsigned classicSectorOf(unsigned block) {
  return block < 128 ? block / 4 : 32 + (block - 128) / 16;
}

}  // namespace norvex::pcsc
