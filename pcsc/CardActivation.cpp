// SPDX-License-Identifier: MIT
#include "pcsc/CardActivation.h"

#include <algorithm>

#include "pcsc/Atr.h"

namespace norvex::pcsc {

namespace {
constexpr uint8_t kRatsFsdi = 8;  // frames of up to 256 bytes to the reader; CID 0
constexpr uint16_t kDeselectAnswerCapacity = 16;

// REQB for every application family (AFI 00), in one slot, or in 16 when cards collided there.
constexpr uint8_t kAllFamilies = 0x00, kOneSlot = 0x00, kSixteenSlots = 0x04;
constexpr uint8_t kLastSlot = 16;
constexpr uint16_t kAtqbCapacity = 16;
// ATTRIB: default TR0/TR1 and SOF/EOF (Param 1); 106 kbit/s both ways and the reader's frame
// size (Param 2); an ISO 14443-4 card (Param 3); CID 0 (Param 4), as the library's APDU exchange
// addresses it.
constexpr uint8_t kAttribParam1 = 0x00, kAttribParam3 = 0x01, kAttribParam4 = 0x00;
// The reader announces the card's own frame size (at most 256 bytes), as for type A below.
constexpr uint8_t kLargestFsdi = kRatsFsdi;
constexpr uint8_t kHigherLayerCapacity = 64;

std::optional<CardState> typeBCardOf(const uint8_t* atqb, uint16_t length) {
  auto info = parseAtqb({atqb, length});
  if (!info) return std::nullopt;
  CardState card;
  card.kind = CardKind::TypeB;
  card.uid.assign(info->pupi.begin(), info->pupi.end());
  card.atsInfo.frameSize = info->frameSize;
  card.atsInfo.waitingTimeMs = info->waitingTimeMs;
  card.atqb = info;
  return card;
}

// The first type B card that answers alone: in the single slot, or else with 16 slots in the
// first slot one card took alone.
std::optional<CardState> selectTypeBCard(void* session) {
  uint8_t atqb[kAtqbCapacity] = {};
  uint16_t length = sizeof atqb;
  long status = TypeB_RequestIdle(session, kAllFamilies, kOneSlot, atqb, &length);
  if (status == NORVEX_OK) return typeBCardOf(atqb, length);
  if (status != NORVEX_E_COLL_ERR) return std::nullopt;
  length = sizeof atqb;
  status = TypeB_RequestIdle(session, kAllFamilies, kSixteenSlots, atqb, &length);
  for (uint8_t slot = 2; status != NORVEX_OK && slot <= kLastSlot; ++slot) {
    length = sizeof atqb;
    status = TypeB_SlotMarker(session, slot, atqb, &length);
  }
  return status == NORVEX_OK ? typeBCardOf(atqb, length) : std::nullopt;
}

std::optional<CardState> selectTypeACard(void* session) {
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

bool rats(void* session, CardState& card, uint8_t fsdi) {
  uint8_t ats[256] = {};
  uint16_t atsLength = sizeof ats;
  if (V2_RequestATS(session, static_cast<uint8_t>(fsdi << 4), &atsLength, ats) != NORVEX_OK)
    return false;
  card.ats.assign(ats, ats + atsLength);
  card.atsInfo = parseAts(card.ats);
  card.atr = iso14443_4Atr(card.atsInfo.historicalBytes);
  return true;
}

// The library's exchange has one frame size for both ways, the card's: a card whose frames are
// shorter than the 256 bytes first announced (a DESFire takes 64) is activated again with the
// reader's frame size equal to its own, so that none of its answers is longer than that.
bool requestAts(void* session, CardState& card) {
  if (!rats(session, card, kRatsFsdi)) return false;
  if (card.atsInfo.fsci >= kRatsFsdi) return true;
  Reset14443_4(session, kDeselectAnswerCapacity);
  return rats(session, card, card.atsInfo.fsci);
}

bool attrib(void* session, CardState& card) {
  const uint8_t fsdi = std::min<uint8_t>(card.atqb->protocolInfo[1] >> 4, kLargestFsdi);
  uint8_t answer = kAttribParam4, second = 0;
  uint8_t higherLayer[kHigherLayerCapacity] = {};
  uint8_t higherLayerLength = 0;  // none sent
  if (TypeB_Attrib(session, card.uid.data(), kAttribParam1, fsdi, kAttribParam3, &answer, &second,
                   &higherLayerLength, higherLayer) != NORVEX_OK)
    return false;
  card.atsInfo.frameSize = frameSizeOfCode(fsdi);
  card.atr = typeBAtr(card.atqb->applicationData, card.atqb->protocolInfo, answer);
  return true;
}

}  // namespace

std::optional<CardState> selectCard(void* session) {
  if (auto card = selectTypeACard(session)) return card;
  return selectTypeBCard(session);
}

std::optional<CardState> activateCard(void* session) {
  auto card = selectCard(session);
  if (!card) return std::nullopt;
  if (card->kind == CardKind::Iso14443_4) {
    if (!requestAts(session, *card)) return std::nullopt;
  } else if (card->kind == CardKind::TypeB) {
    if (!attrib(session, *card)) return std::nullopt;
  } else {
    card->atr = storageCardAtr(storageCardName(card->kind));
  }
  card->powered = true;
  return card;
}

void deactivateCard(void* session, const CardState& card) {
  // The card may have left already; there is nothing to undo when it does not answer.
  if (speaksIso14443_4(card.kind))
    Reset14443_4(session, kDeselectAnswerCapacity);
  else
    HaltCard(session);
}

}  // namespace norvex::pcsc
