// SPDX-License-Identifier: MIT
#include "cli/TypeBPoll.h"

#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr uint8_t kEveryFamily = 0x00;  // AFI 0: every card answers
constexpr uint8_t kFourSlots = 0x02;    // PARAM: 2^2 anticollision slots
constexpr uint8_t kSlots = 4;
constexpr int kMaxRounds = 8;
constexpr std::size_t kMaxCards = 16;
constexpr uint16_t kPupiEnd = 5;  // the PUPI follows the 0x50 byte

}  // namespace

std::vector<std::vector<uint8_t>> pollTypeBCards(void* session) {
  std::vector<std::vector<uint8_t>> cards;
  for (int round = 0; round < kMaxRounds && cards.size() < kMaxCards; ++round) {
    bool collision = false;
    for (uint8_t slot = 1; slot <= kSlots; ++slot) {
      uint8_t atqb[32] = {};
      uint16_t length = sizeof atqb;
      const long status = slot == 1
                              ? TypeB_RequestIdle(session, kEveryFamily, kFourSlots, atqb, &length)
                              : TypeB_SlotMarker(session, slot, atqb, &length);
      if (status == NORVEX_OK && length >= kPupiEnd) {
        cards.emplace_back(atqb, atqb + length);
        TypeB_Halt(session, atqb + 1);
      } else if (status == NORVEX_E_COLL_ERR) {
        collision = true;
      } else if (status != NORVEX_E_NO_CARD_IN_RF) {
        return cards;
      }
    }
    if (!collision) break;
  }
  return cards;
}

}  // namespace norvex::cli
