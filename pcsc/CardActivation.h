// SPDX-License-Identifier: MIT
#pragma once
// Finding and activating the card in a reader's field through the library: the selection used
// by presence polls, and the full activation (RATS for ISO 14443-4 cards) that gives the ATR.

#include <optional>

#include "pcsc/CardState.h"

namespace norvex::pcsc {

// RF reset, then ISO 14443-A activation of an idle card: kind, UID, ATQA and SAK; when no type A
// card answers, REQB for a type B card: its PUPI and ATQB. Not powered. Nothing when no card
// answers (or the reader fails).
std::optional<CardState> selectCard(void* session);

// selectCard, then for an ISO 14443-4 type A card a new RF reset, selection and RATS (fills the
// ATS), for a type B card ATTRIB; fills the ATR and marks the card powered.
std::optional<CardState> activateCard(void* session);

// Ends the card's session: S(DESELECT) for an ISO 14443-4 card (type A or B), HLTA for the others.
void deactivateCard(void* session, const CardState& card);

}  // namespace norvex::pcsc
