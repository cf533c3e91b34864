// SPDX-License-Identifier: MIT
// A selected card that hears the next request falls back to idle without answering, so the
// selection after the chosen card's reaches the other idle cards first; each is halted when
// found. Once the chosen card is found twice in a row (or nothing answers after it), no other
// card is left idle.
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
  bool chosenLast = false;
  for (int attempt = 0; attempt < kMaxSelections; ++attempt) {
    std::array<uint8_t, 10> id{};
    uint8_t idLength = id.size(), atq[2] = {}, sak = 0;
    const long status = SelectIdleCard(session, id.data(), &idLength, atq, &sak);
    if (status == NORVEX_E_NO_CARD_IN_RF) return chosenLast;
    if (status != NORVEX_OK) return false;
    const bool chosen = QByteArray(reinterpret_cast<const char*>(id.data()), idLength) == uid;
    if (chosen && chosenLast) return true;
    if (!chosen) HaltCard(session);
    chosenLast = chosen;
  }
  return false;
}

void ReleaseField(void* session) {
  RfReset(session, kFieldResetMs);
}

bool WithIsolatedCard(void* session, const QByteArray& uid, const std::function<void()>& work) {
  const bool isolated = IsolateCard(session, uid);
  if (isolated) work();
  ReleaseField(session);
  return isolated;
}

CardViewHost::JobStep IsolatedSteps(CardViewHost& host, const QByteArray& uid, int count,
                                    std::function<bool(void* session, int index)> step) {
  return [&host, uid, count, step = std::move(step)](int index) {
    void* session = host.Session();
    const bool more = (index != 0 || IsolateCard(session, uid)) && step(session, index);
    if (!more || index + 1 == count) ReleaseField(session);
    return more;
  };
}
