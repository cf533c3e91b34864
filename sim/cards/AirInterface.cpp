// SPDX-License-Identifier: MIT
#include "sim/cards/AirInterface.h"

#include <algorithm>

namespace norvexsim {
namespace {

bool bitOf(const CascadeBytes& bytes, size_t index) {
  return (bytes[index / 8] >> (index % 8)) & 1;
}

}  // namespace

std::optional<Atq> AirInterface::request(bool wakeUp) const {
  std::optional<Atq> heard;
  for (const auto& card : cards_) {
    if (!card->onRequest(wakeUp)) continue;
    if (!heard) heard = Atq{0, 0};
    (*heard)[0] |= card->atq()[0];
    (*heard)[1] |= card->atq()[1];
  }
  return heard;
}

std::optional<CascadeBytes> AirInterface::anticollision(size_t level, const CascadeBytes& known,
                                                        size_t bitCount) const {
  std::vector<const Card*> candidates;
  for (const auto& card : cards_) {
    if (card->onAnticollision(level)) candidates.push_back(card.get());
  }
  auto keepWhere = [&](size_t bit, bool value) {
    std::erase_if(candidates,
                  [&](const Card* card) { return bitOf(card->cascadeBytes(level), bit) != value; });
  };
  bitCount = std::min<size_t>(bitCount, 32);
  for (size_t bit = 0; bit < bitCount; ++bit) keepWhere(bit, bitOf(known, bit));
  // Cards whose bytes do not start with the known bits stay silent (and stay READY).
  for (size_t bit = bitCount; bit < 32 && !candidates.empty(); ++bit) {
    bool anyOne = std::any_of(candidates.begin(), candidates.end(), [&](const Card* card) {
      return bitOf(card->cascadeBytes(level), bit);
    });
    keepWhere(bit, anyOne);
  }
  if (candidates.empty()) return std::nullopt;
  return candidates.front()->cascadeBytes(level);
}

std::optional<uint8_t> AirInterface::select(size_t level, const CascadeBytes& bytes) const {
  std::optional<uint8_t> heard;
  for (const auto& card : cards_) {
    if (auto sak = card->onSelect(level, bytes)) heard = heard.value_or(0) | *sak;
  }
  return heard;
}

bool AirInterface::halt() const {
  bool halted = false;
  for (const auto& card : cards_) halted = card->onHalt() || halted;
  return halted;
}

Card* AirInterface::commandTarget() const {
  Card* target = nullptr;
  for (const auto& card : cards_) {
    if (card->onCommandFrame()) target = card.get();
  }
  return target;
}

}  // namespace norvexsim
