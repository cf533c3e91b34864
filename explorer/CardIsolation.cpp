// SPDX-License-Identifier: MIT
// A selected card that hears the next request falls back to idle without answering, so the
// requests after the chosen card's selection reach only the other idle cards; each is halted
// when found. The first request nobody answers leaves the chosen card idle and alone.
#include "CardIsolation.h"

#include <array>
#include <cstdint>

#include "norvexapi.h"

namespace {
constexpr uint16_t kFieldResetMs = 10;
constexpr int kMaxSelections = 20;  // the chosen card and others, each possibly found twice
}  // namespace

bool IsolateCard(void* session, const QByteArray& uid) {
  if (RfReset(session, kFieldResetMs) != NORVEX_OK) return false;
  bool chosenSeen = false;
  for (int attempt = 0; attempt < kMaxSelections; ++attempt) {
    std::array<uint8_t, 10> id{};
    uint8_t idLength = id.size(), atq[2] = {}, sak = 0;
    const long status = SelectIdleCard(session, id.data(), &idLength, atq, &sak);
    if (status == NORVEX_E_NO_CARD_IN_RF) return chosenSeen;
    if (status != NORVEX_OK) return false;
    const QByteArray found(reinterpret_cast<const char*>(id.data()), idLength);
    if (found == uid) {
      chosenSeen = true;
    } else {
      HaltCard(session);
    }
  }
  return false;
}
