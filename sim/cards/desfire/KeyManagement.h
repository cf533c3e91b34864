// SPDX-License-Identifier: MIT
#pragma once
// The key set of the selected level (PICC or application): reading its settings and key
// versions, changing keys and key settings through cryptograms enciphered under the session key.

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

Answer changeKey(CardContext& card, Command command);          // C4
Answer changeKeySettings(CardContext& card, Command command);  // 54
Answer getKeySettings(CardContext& card, Command command);     // 45
Answer getKeyVersion(CardContext& card, Command command);      // 64

}  // namespace norvexsim::desfire
