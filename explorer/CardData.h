// SPDX-License-Identifier: MIT
#pragma once
// The explorer's card information record: geometry and identifier of a card, worked out by the
// explorer itself from what the ISO 14443-A selection returns (ATQ, SAK, UID).

#include <cstdint>

#include "norvexapi.h"

// Card kinds stored in _tag_card_data::Method.
enum CardMethod : uint8_t {
  kMethodUnknown = 0,
  kMethodUltralight = 1,
  kMethodClassic1K = 2,
  kMethodClassic4K = 3,
  kMethodDESFire = 4,
  kMethodTCL = 5,
};

struct _tag_card_data {
  uint8_t HasPart4;        // non-zero when the card supports ISO 14443-4
  uint16_t BlocksCount;    // number of 16-byte blocks
  uint8_t SectorsCount;    // number of Mifare Classic sectors
  uint8_t Method;          // CardMethod
  _MIF_SINGLE_UID ChipID;  // the card's 4-byte identifier (single-size UID)
};
