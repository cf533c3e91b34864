// SPDX-License-Identifier: MIT
#pragma once
// What the driver knows of the card in a reader's field between two calls from pcscd.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "norvexapi.h"
#include "pcsc/Atqb.h"
#include "pcsc/Ats.h"
#include "pcsc/CardKind.h"

namespace norvex::pcsc {

// The Mifare Classic sector the application authenticated with GENERAL AUTHENTICATE, and the
// key that did it. The driver authenticates again before each block access, so that presence
// polls (which select the card anew) never cost the application its authentication.
struct ClassicAuthentication {
  unsigned sector = 0;
  _MIF_KEY_ key{};
};

// A card stays the same card for as long as kind and uid do; the slot keeps both while the card
// is powered down, so that a card put in its place is told apart.
struct CardState {
  CardKind kind = CardKind::OtherStorage;
  std::vector<uint8_t> uid;  // type B: the PUPI
  uint16_t atqa = 0;
  uint8_t sak = 0;
  std::optional<AtqbInfo> atqb;  // type B cards
  std::vector<uint8_t> ats;      // ISO 14443-4 type A cards: the ATS, TL first
  AtsInfo atsInfo;  // frame size and waiting time of ISO 14443-4 cards (type B: from the ATQB)
  std::vector<uint8_t> atr;
  bool powered = false;     // activated for an application (ATR handed to pcscd)
  uint8_t blockNumber = 0;  // ISO 14443-4 block number of the next exchange
  std::optional<ClassicAuthentication> authentication;
};

inline bool sameCard(const CardState& a, const CardState& b) {
  return a.kind == b.kind && a.uid == b.uid;
}

// Volatile key slots of LOAD KEYS: 6-byte Mifare keys, lost when the reader is closed.
inline constexpr size_t kKeySlotCount = 16;
using KeySlots = std::array<std::optional<std::array<uint8_t, 6>>, kKeySlotCount>;

}  // namespace norvex::pcsc
