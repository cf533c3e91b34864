// SPDX-License-Identifier: MIT
#pragma once
// Activation of the card in the field for the NDEF tag functions: an RF reset, the ISO 14443-A
// selection and, when the SAK announces ISO 14443-4, RATS; the SAK tells which tag family the card
// belongs to.

#include <cstdint>

#include "norvexapi.h"

enum class TagFamily { Type2, Iso14443_4, Classic, Other };

struct ActiveTag {
  TagFamily family = TagFamily::Other;
  APDU_CHANNEL channel{};  // for ISO 14443-4 cards: block number, the card's frame size, time-out
};

long ActivateTag(void* session, ActiveTag& tag);
