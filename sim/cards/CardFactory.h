// SPDX-License-Identifier: MIT
#pragma once
// Builds the card a description names ("KIND[:key=value,...]"). Each card kind has one maker in the
// table of CardFactory.cpp; a new card family adds its row there.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/cards/Card.h"
#include "sim/cards/CardDescription.h"

namespace norvexsim {

// Supplies a UID of the given length, unique in the field, for a card placed without uid=.
using UidSource = std::function<std::vector<uint8_t>(size_t length)>;

// Throws std::invalid_argument for an unknown kind or an option the kind does not accept.
std::unique_ptr<Card> makeCard(const CardDescription& description, const UidSource& freshUid);

// Kinds the factory knows, for messages.
std::vector<std::string> cardKinds();

}  // namespace norvexsim
