// SPDX-License-Identifier: MIT
// Finding every ISO 14443-B card in the field: polling with slots and slot markers.
#pragma once

#include <cstdint>
#include <vector>

namespace norvex::cli {

// The ATQB of each type B card in the field (0x50, PUPI, application data, protocol info). Each
// card found is halted so that the next round hears only the others; rounds go on while cards
// collide in a slot. A reader that cannot poll type B cards gives no card.
std::vector<std::vector<uint8_t>> pollTypeBCards(void* session);

}  // namespace norvex::cli
