// SPDX-License-Identifier: MIT
// Naming the card in the field when a command finds it is not the card the command is for.
#pragma once

#include <optional>
#include <string>

#include "cli/CardChoice.h"

namespace norvex::cli {

// Resets the field and selects the first card that answers, or nothing when no card answers. The
// card is left selected (ACTIVE): this is asked once a command has failed.
std::optional<FieldCard> cardInField(void* session);

// "<what>: the card (UID …, SAK …, <type>) <isNot>", or "<what>: no card in the field", thrown as
// a card error.
[[noreturn]] void throwWrongCard(void* session, const std::string& what, const std::string& isNot);

}  // namespace norvex::cli
