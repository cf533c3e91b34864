// SPDX-License-Identifier: MIT
#pragma once
// What kind of card answered the selection: an ISO 14443-A card told from its SAK and ATQA, or a
// type B card; and what PC/SC needs to know of it: whether APDUs reach it through the ISO 14443-4
// block protocol, the card name of the storage-card ATR and the memory layout.

#include <cstdint>

namespace norvex::pcsc {

// Iso14443_4 is a type A card with ISO 14443-4 (SAK bit 6), TypeB a type B card, which speaks
// ISO 14443-4 after ATTRIB.
enum class CardKind {
  Iso14443_4,
  Classic1K,
  Classic4K,
  ClassicMini,
  Ultralight,
  OtherStorage,
  TypeB
};

CardKind classifyCard(uint8_t sak, uint16_t atqa);

// Cards that take APDUs through the ISO 14443-4 block protocol (type A with RATS, type B).
bool speaksIso14443_4(CardKind kind);

bool isMifareClassic(CardKind kind);

// The two card-name bytes of the storage-card ATR (00 00 when the card has no registered name).
uint16_t storageCardName(CardKind kind);

// Blocks of a Mifare Classic card (0 for other kinds).
unsigned classicBlockCount(CardKind kind);

// The Mifare Classic sector a block belongs to: 4-block sectors below block 128, then 16-block
// sectors.
unsigned classicSectorOf(unsigned block);

}  // namespace norvex::pcsc
