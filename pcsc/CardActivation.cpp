// SPDX-License-Identifier: MIT
#include "pcsc/CardActivation.h"

#include "pcsc/Atr.h"

namespace norvex::pcsc {

namespace {
constexpr uint8_t kRatsParameter = 0x80;  // FSDI 8: frames of up to 256 bytes to the reader, CID 0
constexpr uint16_t kDeselectAnswerCapacity = 16;
}  // namespace

std::optional<CardState> selectCard(void* session) {
  uint8_t uid[10] = {};
  uint8_t uidLength = sizeof uid;
  uint8_t atqa[2] = {};
  uint8_t sak = 0;
  if (SelectCardEx(session, uid, &uidLength, atqa, &sak) != NORVEX_OK) return std::nullopt;
  if (uidLength > sizeof uid) return std::nullopt;
  CardState card;
  card.uid.assign(uid, uid + uidLength);
  card.atqa = static_cast<uint16_t>(atqa[0] | atqa[1] << 8);  // ATQA travels LSB first
  card.sak = sak;
  card.kind = classifyCard(sak, card.atqa);
  return card;
}

std::optional<CardState> activateCard(void* session) {
  auto card = selectCard(session);
  if (!card) return std::nullopt;
  if (card->kind == CardKind::Iso14443_4) {
    uint8_t ats[256] = {};
    uint16_t atsLength = sizeof ats;
    if (V2_RequestATS(session, kRatsParameter, &atsLength, ats) != NORVEX_OK) return std::nullopt;
    card->ats.assign(ats, ats + atsLength);
    card->atsInfo = parseAts(card->ats);
    card->atr = iso14443_4Atr(card->atsInfo.historicalBytes);
  } else {
    card->atr = storageCardAtr(storageCardName(card->kind));
  }
  card->powered = true;
  return card;
}

void deactivateCard(void* session, const CardState& card) {
  // The card may have left already; there is nothing to undo when it does not answer.
  if (card.kind == CardKind::Iso14443_4)
    Reset14443_4(session, kDeselectAnswerCapacity);
  else
    HaltCard(session);
}

}  // namespace norvex::pcsc
