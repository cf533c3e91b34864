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
constexpr int kMaxCards = 16;
// Every other card once and the chosen card twice in a row, with room for one more round.
constexpr int kMaxSelections = 2 * kMaxCards + 2;

// Selects an idle card: its status, and its whole UID in `uid`.
long SelectIdle(void* session, QByteArray& uid) {
  std::array<uint8_t, 10> id{};
  uint8_t idLength = id.size(), atq[2] = {}, sak = 0;
  const long status = SelectIdleCard(session, id.data(), &idLength, atq, &sak);
  uid = status == NORVEX_OK ? QByteArray(reinterpret_cast<const char*>(id.data()), idLength)
                            : QByteArray();
  return status;
}

}  // namespace

long IsolateCard(void* session, const QByteArray& uid) {
  if (const long status = RfReset(session, kFieldResetMs)) return status;
  bool chosenLast = false;
  QByteArray found;
  for (int attempt = 0; attempt < kMaxSelections; ++attempt) {
    const long status = SelectIdle(session, found);
    if (status == NORVEX_E_NO_CARD_IN_RF && chosenLast) return NORVEX_OK;
    if (status != NORVEX_OK) return status;
    const bool chosen = found == uid;
    if (chosen && chosenLast) return NORVEX_OK;
    if (!chosen) HaltCard(session);
    chosenLast = chosen;
  }
  return NORVEX_E_NO_CARD_IN_RF;
}

int CountTypeACards(void* session) {
  if (RfReset(session, kFieldResetMs) != NORVEX_OK) return 0;
  int count = 0;
  QByteArray found;
  while (count < kMaxCards && SelectIdle(session, found) == NORVEX_OK) {
    HaltCard(session);
    ++count;
  }
  ReleaseField(session);
  return count;
}

void ReleaseField(void* session) {
  RfReset(session, kFieldResetMs);
}

bool WithIsolatedCard(void* session, const QByteArray& uid, const std::function<void()>& work) {
  const bool isolated = IsolateCard(session, uid) == NORVEX_OK;
  if (isolated) work();
  ReleaseField(session);
  return isolated;
}

CardViewHost::JobStep IsolatedSteps(CardViewHost& host, const QByteArray& uid, int count,
                                    std::function<bool(void* session, int index)> step) {
  return [&host, uid, count, step = std::move(step)](int index) {
    void* session = host.Session();
    const bool more =
        (index != 0 || IsolateCard(session, uid) == NORVEX_OK) && step(session, index);
    if (!more || index + 1 == count) ReleaseField(session);
    return more;
  };
}
