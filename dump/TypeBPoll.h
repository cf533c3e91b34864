// SPDX-License-Identifier: MIT
// Finding ISO 14443-B cards in the field: polling with slots and slot markers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace norvex::dump {

// The ATQB of each type B card in the field (0x50, PUPI, application data, protocol info). Each
// card found is halted so that the next round hears only the others; rounds go on while cards
// collide in a slot. A reader that cannot poll type B cards gives no card.
std::vector<std::vector<uint8_t>> pollTypeBCards(void* session);

// The ATQB of the card with this 4-byte PUPI, woken up (halted cards answer too) and left ready
// for ATTRIB; the other cards that answer before it are halted. Nothing when it does not answer.
std::optional<std::vector<uint8_t>> wakeTypeBCard(void* session, std::span<const uint8_t, 4> pupi);

}  // namespace norvex::dump
