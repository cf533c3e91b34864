// SPDX-License-Identifier: MIT
#include "dump/TypeBPoll.h"

#include <algorithm>
#include <functional>

#include "norvexapi.h"

namespace norvex::dump {

namespace {

constexpr uint8_t kEveryFamily = 0x00;  // AFI 0: every card answers
constexpr uint8_t kFourSlots = 0x02;    // PARAM: 2^2 anticollision slots
constexpr uint8_t kSlots = 4;
constexpr int kMaxRounds = 8;
constexpr std::size_t kMaxCards = 16;
constexpr uint16_t kPupiEnd = 5;  // the PUPI follows the 0x50 byte

using Atqb = std::vector<uint8_t>;
// Told each ATQB heard; true stops the polling (the card is then left as it is).
using Listener = std::function<bool(const Atqb&)>;

// Rounds of a request (idle cards, or every card when wakeUp) and slot markers, as long as cards
// collide; each card heard is halted unless the listener stops there.
void poll(void* session, bool wakeUp, const Listener& heard) {
  for (int round = 0; round < kMaxRounds; ++round) {
    bool collision = false;
    for (uint8_t slot = 1; slot <= kSlots; ++slot) {
      uint8_t atqb[32] = {};
      uint16_t length = sizeof atqb;
      long status = 0;
      if (slot > 1)
        status = TypeB_SlotMarker(session, slot, atqb, &length);
      else if (wakeUp && round == 0)
        status = TypeB_RequestWakeUp(session, kEveryFamily, kFourSlots, atqb, &length);
      else
        status = TypeB_RequestIdle(session, kEveryFamily, kFourSlots, atqb, &length);
      if (status == NORVEX_OK && length >= kPupiEnd) {
        if (heard(Atqb(atqb, atqb + length))) return;
        TypeB_Halt(session, atqb + 1);
      } else if (status == NORVEX_E_COLL_ERR) {
        collision = true;
      } else if (status != NORVEX_E_NO_CARD_IN_RF) {
        return;
      }
    }
    if (!collision) return;
  }
}

}  // namespace

std::vector<std::vector<uint8_t>> pollTypeBCards(void* session) {
  std::vector<Atqb> cards;
  poll(session, false, [&cards](const Atqb& atqb) {
    cards.push_back(atqb);
    return cards.size() >= kMaxCards;
  });
  return cards;
}

std::optional<std::vector<uint8_t>> wakeTypeBCard(void* session, std::span<const uint8_t, 4> pupi) {
  std::optional<Atqb> found;
  poll(session, true, [&](const Atqb& atqb) {
    if (!std::equal(pupi.begin(), pupi.end(), atqb.begin() + 1)) return false;
    found = atqb;
    return true;
  });
  return found;
}

}  // namespace norvex::dump
