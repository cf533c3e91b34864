// SPDX-License-Identifier: MIT
#pragma once
// The card-wide EV1 commands: its real UID (enciphered, for an authenticated reader), the free
// file memory, and SetConfiguration (format refusal, random UID, default key, user ATS).

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

Answer getCardUid(CardContext& card, Command command);        // 51
Answer getFreeMemory(CardContext& card, Command command);     // 6E
Answer setConfiguration(CardContext& card, Command command);  // 5C

}  // namespace norvexsim::desfire
