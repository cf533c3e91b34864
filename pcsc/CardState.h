// SPDX-License-Identifier: MIT
#pragma once
// What the driver knows of the card in a reader's field between two calls from pcscd.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "norvexapi.h"
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

struct CardState {
  CardKind kind = CardKind::OtherStorage;
  std::vector<uint8_t> uid;
  uint16_t atqa = 0;
  uint8_t sak = 0;
  std::vector<uint8_t> ats;  // ISO 14443-4 cards: the ATS, TL first
  AtsInfo atsInfo;
  std::vector<uint8_t> atr;
  bool powered = false;     // activated for an application (ATR handed to pcscd)
  uint8_t blockNumber = 0;  // ISO 14443-4 block number of the next exchange
  std::optional<ClassicAuthentication> authentication;
};

// Volatile key slots of LOAD KEYS: 6-byte Mifare keys, lost when the reader is closed.
inline constexpr size_t kKeySlotCount = 16;
using KeySlots = std::array<std::optional<std::array<uint8_t, 6>>, kKeySlotCount>;

}  // namespace norvex::pcsc
