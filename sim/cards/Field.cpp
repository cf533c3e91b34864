// SPDX-License-Identifier: MIT
#include "sim/cards/Field.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "sim/cards/Card.h"
#include "sim/cards/CardDescription.h"
#include "sim/cards/CardFactory.h"
#include "sim/cards/CardFirmware.h"
#include "sim/cards/CardInstructionCodes.h"
#include "sim/cards/HexBytes.h"
#include "sim/cards/TypeACard.h"
#include "sim/cards/typeb/TypeBCard.h"
#include "sim/cards/typeb/TypeBFirmware.h"

namespace norvexsim {

Field::Field() = default;
Field::~Field() = default;
Field::Field(Field&&) noexcept = default;
Field& Field::operator=(Field&&) noexcept = default;

std::vector<uint8_t> Field::place(const std::string& text) {
  const auto description = CardDescription::parse(text);
  const UidSource fresh = [this](size_t length) { return freshUid(length); };
  const auto refuseTwice = [this](const std::vector<uint8_t>& uid) {
    if (find(uid)) {
      throw std::invalid_argument("a card with UID " + toHexText(uid) + " is already in the field");
    }
  };
  auto pocketed = pocket_.end();
  if (description.option("uid")) {
    pocketed = std::find_if(pocket_.begin(), pocket_.end(),
                            [&](const auto& entry) { return entry.first == text; });
  }
  auto card = pocketed != pocket_.end() ? nullptr : makeCard(description, fresh);
  const auto uid = card ? card->uid() : pocketed->second->uid();
  refuseTwice(uid);
  if (!card) card = std::move(pocketed->second);
  // Whatever the pocket held with this UID is now this card or replaced by it.
  std::erase_if(pocket_,
                [&](const auto& entry) { return !entry.second || entry.second->uid() == uid; });
  placedAs_[card.get()] = text;
  cards_.push_back(std::move(card));
  return cards_.back()->uid();
}

bool Field::remove(const std::vector<uint8_t>& uid) {
  auto it = std::find_if(cards_.begin(), cards_.end(),
                         [&](const auto& card) { return card->uid() == uid; });
  if (it != cards_.end()) {
    auto card = std::move(*it);
    cards_.erase(it);
    takeOut(std::move(card));
    return true;
  }
  return false;
}

void Field::removeAll() {
  auto cards = std::move(cards_);
  cards_.clear();
  for (auto& card : cards) takeOut(std::move(card));
}

void Field::takeOut(std::unique_ptr<Card> card) {
  auto placed = placedAs_.find(card.get());
  std::string description = placed == placedAs_.end() ? std::string() : placed->second;
  if (placed != placedAs_.end()) placedAs_.erase(placed);
  if (!card->keepsMemoryOutOfField()) return;
  card->onFieldReset();  // the power is gone
  std::erase_if(pocket_, [&](const auto& entry) { return entry.first == description; });
  pocket_.emplace_back(std::move(description), std::move(card));
}

std::vector<std::string> Field::list() const {
  std::vector<std::string> lines;
  for (bool typeB : {false, true}) {
    for (const auto& card : cards_) {
      if ((card->typeB() != nullptr) != typeB) continue;
      lines.push_back(std::string(card->kind()) + " " + toHexText(card->uid()));
    }
  }
  return lines;
}

size_t Field::count() const {
  return cards_.size();
}

void Field::rfReset() {
  for (const auto& card : cards_) card->onFieldReset();
}

std::optional<Reply> Field::execute(uint8_t instruction, const std::vector<uint8_t>& params) {
  link_.trace.clear();
  link_.cardWait = std::chrono::microseconds(0);
  if (auto reply = runTypeBInstruction(cards_, link_, instruction, params)) {
    typeB_ = true;
    return reply;
  }
  const bool rawFrame =
      instruction == cardinstr::kExchangeByteStream || instruction == cardinstr::kExchangeBlock;
  CardFirmware firmware(cards_, keys_, link_);
  if (typeB_ && rawFrame) firmware.talkTypeB();
  auto reply = firmware.run(instruction, params);
  if (reply && !rawFrame) typeB_ = false;  // a type A card instruction switches the front end back
  std::erase_if(cards_, [this](const auto& card) {
    if (card->hasLeftField()) placedAs_.erase(card.get());
    return card->hasLeftField();
  });
  return reply;
}

void Field::setResponseTimeout(uint32_t milliseconds) {
  link_.responseTimeout = std::chrono::milliseconds(milliseconds);
}

std::chrono::microseconds Field::takeCardWait() {
  return std::exchange(link_.cardWait, std::chrono::microseconds(0));
}

std::string Field::takeAirTrace() {
  std::string text;
  for (const auto& line : link_.trace) text += (text.empty() ? "" : "; ") + line;
  link_.trace.clear();
  return text;
}

size_t Field::injectTclFault(const tcl::TclFault& fault, const std::vector<uint8_t>& uid) {
  size_t armed = 0;
  for (const auto& card : cards_) {
    if (!uid.empty() && card->uid() != uid) continue;
    if (card->armFault(fault)) ++armed;
  }
  return armed;
}

void Field::clearTclFaults() {
  for (const auto& card : cards_) card->clearFaults();
}

std::vector<uint8_t> Field::memory(const std::vector<uint8_t>& uid) const {
  Card* card = find(uid);
  if (!card) throw std::invalid_argument("no card with UID " + toHexText(uid) + " in the field");
  return card->memory();
}

void Field::setMemory(const std::vector<uint8_t>& uid, const std::vector<uint8_t>& bytes) {
  Card* card = find(uid);
  if (!card) throw std::invalid_argument("no card with UID " + toHexText(uid) + " in the field");
  if (!card->setMemory(bytes)) {
    throw std::invalid_argument("a memory image of " + std::to_string(bytes.size()) +
                                " bytes does not fit card " + toHexText(uid));
  }
}

std::optional<CardState> Field::state(const std::vector<uint8_t>& uid) const {
  Card* card = find(uid);
  if (!card || !card->typeA()) return std::nullopt;
  return card->typeA()->state();
}

const TypeBCard* Field::typeBCard(const std::vector<uint8_t>& pupi) const {
  Card* card = find(pupi);
  return card ? card->typeB() : nullptr;
}

Card* Field::find(const std::vector<uint8_t>& uid) const {
  auto it = std::find_if(cards_.begin(), cards_.end(),
                         [&](const auto& card) { return card->uid() == uid; });
  return it == cards_.end() ? nullptr : it->get();
}

std::vector<uint8_t> Field::freshUid(size_t length) {
  // A reproducible sequence of well-mixed UIDs (splitmix64 of a counter), so runs repeat.
  for (;;) {
    uint64_t z = 0x9E3779B97F4A7C15ull * ++uidCounter_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    std::vector<uint8_t> uid(length);
    for (size_t i = 0; i < length; ++i) uid[i] = static_cast<uint8_t>(z >> (8 * (i % 8)));
    if (uid[3 * ((length / 3) - 1)] == kCascadeTag) continue;  // not a valid last level
    if (!find(uid)) return uid;
  }
}

}  // namespace norvexsim
