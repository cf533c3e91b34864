// SPDX-License-Identifier: MIT
#include "sim/cards/AirInterface.h"

#include <algorithm>

namespace norvexsim {
namespace {

bool bitOf(const CascadeBytes& bytes, size_t index) {
  return (bytes[index / 8] >> (index % 8)) & 1;
}

}  // namespace

std::vector<TypeACard*> AirInterface::typeACards() const {
  std::vector<TypeACard*> typeA;
  for (const auto& card : cards_) {
    if (TypeACard* own = card->typeA()) typeA.push_back(own);
  }
  return typeA;
}

std::optional<Atq> AirInterface::request(bool wakeUp) const {
  std::optional<Atq> heard;
  for (TypeACard* card : typeACards()) {
    if (!card->onRequest(wakeUp)) continue;
    if (!heard) heard = Atq{0, 0};
    (*heard)[0] |= card->atq()[0];
    (*heard)[1] |= card->atq()[1];
  }
  return heard;
}

std::optional<CascadeBytes> AirInterface::anticollision(size_t level, const CascadeBytes& known,
                                                        size_t bitCount) const {
  std::vector<const TypeACard*> candidates;
  for (TypeACard* card : typeACards()) {
    if (card->onAnticollision(level)) candidates.push_back(card);
  }
  auto keepWhere = [&](size_t bit, bool value) {
    std::erase_if(candidates, [&](const TypeACard* card) {
      return bitOf(card->cascadeBytes(level), bit) != value;
    });
  };
  bitCount = std::min<size_t>(bitCount, 32);
  for (size_t bit = 0; bit < bitCount; ++bit) keepWhere(bit, bitOf(known, bit));
  // Cards whose bytes do not start with the known bits stay silent (and stay READY).
  for (size_t bit = bitCount; bit < 32 && !candidates.empty(); ++bit) {
    bool anyOne = std::any_of(candidates.begin(), candidates.end(), [&](const TypeACard* card) {
      return bitOf(card->cascadeBytes(level), bit);
    });
    keepWhere(bit, anyOne);
  }
  if (candidates.empty()) return std::nullopt;
  return candidates.front()->cascadeBytes(level);
}

std::optional<uint8_t> AirInterface::select(size_t level, const CascadeBytes& bytes) const {
  std::optional<uint8_t> heard;
  for (TypeACard* card : typeACards()) {
    if (auto sak = card->onSelect(level, bytes)) heard = heard.value_or(0) | *sak;
  }
  return heard;
}

bool AirInterface::halt() const {
  bool halted = false;
  for (TypeACard* card : typeACards()) halted = card->onHalt() || halted;
  return halted;
}

TypeACard* AirInterface::commandTarget() const {
  TypeACard* target = nullptr;
  for (TypeACard* card : typeACards()) {
    if (card->onCommandFrame()) target = card;
  }
  return target;
}

}  // namespace norvexsim
