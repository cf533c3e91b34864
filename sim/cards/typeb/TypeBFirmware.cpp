// SPDX-License-Identifier: MIT
#include "sim/cards/typeb/TypeBFirmware.h"

#include <algorithm>
#include <string>

#include "sim/cards/CardStatus.h"
#include "sim/cards/HexBytes.h"
#include "sim/cards/ParamReader.h"
#include "sim/cards/typeb/TypeBCard.h"

namespace norvexsim {

namespace {

constexpr uint8_t kCommonRequest = 0xB0, kRequestIdle = 0xB1, kRequestWakeUp = 0xB2, kAttrib = 0xB3,
                  kSlotMarker = 0xB4, kHalt = 0xB5;
constexpr uint8_t kApf = 0x05;           // anticollision prefix of REQB/WUPB
constexpr uint8_t kWakeUpBit = 0x08;     // PARAM bit 4 (b4): WUPB
constexpr uint8_t kSlotCodeMask = 0x07;  // PARAM bits 3-1: N
constexpr uint8_t kHighestSlotCode = 4;  // 16 slots
constexpr unsigned kLastSlot = 16;

using Cards = std::vector<TypeBCard*>;

Reply failure(int8_t status) {
  return Reply{status, {}};
}
Reply badFrame() {
  return failure(cardstatus::kBadFrame);
}

// What the reader hears in one slot: one ATQB, a collision, or nothing.
Reply hearSlot(const std::vector<const TypeBCard*>& answering, AirLink& link) {
  if (answering.empty()) {
    link.trace.push_back("<< (no answer)");
    return failure(cardstatus::kNoCard);
  }
  if (answering.size() > 1) {
    link.trace.push_back("<< collision of " + std::to_string(answering.size()) + " ATQBs");
    return failure(cardstatus::kCollision);
  }
  const Atqb atqb = answering.front()->atqb();
  link.trace.push_back("<< ATQB " + toSpacedHexText(atqb));
  return Reply{cardstatus::kOk, {atqb.begin(), atqb.end()}};
}

Reply request(const Cards& cards, AirLink& link, uint8_t afi, uint8_t param, bool wakeUp) {
  const uint8_t slotCode = param & kSlotCodeMask;
  if (slotCode > kHighestSlotCode) return badFrame();
  const unsigned slots = 1u << slotCode;
  link.trace.push_back(std::string(wakeUp ? ">> WUPB" : ">> REQB") + " AFI " +
                       toSpacedHexText({&afi, 1}) + ", " + std::to_string(slots) + " slot" +
                       (slots > 1 ? "s" : ""));
  std::vector<const TypeBCard*> answering;
  for (const auto& card : cards) {
    if (card->onRequest(afi, slots, wakeUp)) answering.push_back(card);
  }
  return hearSlot(answering, link);
}

Reply commonRequest(const Cards& cards, AirLink& link, ParamReader& p) {
  uint8_t apf = 0, afi = 0, param = 0;
  if (!p.u8(apf) || !p.u8(afi) || !p.u8(param) || !p.done() || apf != kApf) return badFrame();
  return request(cards, link, afi, param, param & kWakeUpBit);
}

Reply requestOf(const Cards& cards, AirLink& link, ParamReader& p, bool wakeUp) {
  uint8_t afi = 0, param = 0;
  if (!p.u8(afi) || !p.u8(param) || !p.done()) return badFrame();
  return request(cards, link, afi, param, wakeUp);
}

Reply slotMarker(const Cards& cards, AirLink& link, ParamReader& p) {
  uint8_t slot = 0;
  if (!p.u8(slot) || !p.done() || slot < 2 || slot > kLastSlot) return badFrame();
  link.trace.push_back(">> slot marker " + std::to_string(slot));
  std::vector<const TypeBCard*> answering;
  for (const auto& card : cards) {
    if (card->onSlotMarker(slot)) answering.push_back(card);
  }
  return hearSlot(answering, link);
}

Reply attrib(const Cards& cards, AirLink& link, ParamReader& p) {
  Pupi pupi{};
  std::array<uint8_t, 4> param{};
  uint8_t length = 0;
  std::vector<uint8_t> higherLayer;
  if (!p.bytes(pupi) || !p.bytes(param) || !p.u8(length) || !p.bytes(length, higherLayer) ||
      !p.done()) {
    return badFrame();
  }
  link.trace.push_back(">> ATTRIB " + toSpacedHexText(pupi) + " " + toSpacedHexText(param) +
                       (higherLayer.empty() ? "" : " + " + toSpacedHexText(higherLayer)));
  for (const auto& card : cards) {
    auto answer = card->onAttrib(pupi, param, higherLayer);
    if (!answer) continue;
    link.trace.push_back("<< " + toSpacedHexText(*answer));
    const uint8_t responseLength = static_cast<uint8_t>(answer->size() - 1);
    std::vector<uint8_t> data(3u + responseLength);
    data[0] = answer->front();  // MBLI/CID; byte 1 stays 0
    data[2] = responseLength;
    std::copy(answer->begin() + 1, answer->end(), data.begin() + 3);
    return Reply{cardstatus::kOk, std::move(data)};
  }
  link.trace.push_back("<< (no answer)");
  return failure(cardstatus::kNoCard);
}

Reply halt(const Cards& cards, AirLink& link, ParamReader& p) {
  Pupi pupi{};
  if (!p.bytes(pupi) || !p.done()) return badFrame();
  link.trace.push_back(">> HLTB " + toSpacedHexText(pupi));
  for (const auto& card : cards) {
    if (card->onHalt(pupi)) {
      link.trace.push_back("<< 00");
      return Reply{cardstatus::kOk, {}};
    }
  }
  link.trace.push_back("<< (no answer)");
  return failure(cardstatus::kNoCard);
}

}  // namespace

std::optional<Reply> runTypeBInstruction(const std::vector<std::unique_ptr<Card>>& field,
                                         AirLink& link, uint8_t code,
                                         std::span<const uint8_t> params) {
  if (code < kCommonRequest || code > kHalt) return std::nullopt;
  Cards cards;
  for (const auto& card : field) {
    if (TypeBCard* typeB = card->typeB()) cards.push_back(typeB);
  }
  ParamReader p(params);
  switch (code) {
    case kCommonRequest:
      return commonRequest(cards, link, p);
    case kRequestIdle:
      return requestOf(cards, link, p, false);
    case kRequestWakeUp:
      return requestOf(cards, link, p, true);
    case kAttrib:
      return attrib(cards, link, p);
    case kSlotMarker:
      return slotMarker(cards, link, p);
    case kHalt:
      return halt(cards, link, p);
    default:
      return std::nullopt;
  }
}

}  // namespace norvexsim
