// SPDX-License-Identifier: MIT
#pragma once
// What kind of ISO 14443-A card answered the selection, told from its SAK and ATQA, and what
// PC/SC needs to know of it: the card name of the storage-card ATR and the memory layout.

#include <cstdint>

namespace norvex::pcsc {

enum class CardKind { Iso14443_4, Classic1K, Classic4K, ClassicMini, Ultralight, OtherStorage };

CardKind classifyCard(uint8_t sak, uint16_t atqa);

bool isMifareClassic(CardKind kind);

// The two card-name bytes of the storage-card ATR (00 00 when the card has no registered name).
uint16_t storageCardName(CardKind kind);

// Blocks of a Mifare Classic card (0 for other kinds).
unsigned classicBlockCount(CardKind kind);

// The Mifare Classic sector a block belongs to: 4-block sectors below block 128, then 16-block
// sectors.
unsigned classicSectorOf(unsigned block);

}  // namespace norvex::pcsc
