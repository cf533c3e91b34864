// SPDX-License-Identifier: MIT
#include "sim/cards/typeb/TypeBCard.h"

#include <algorithm>
#include <utility>

namespace norvexsim {

namespace {

constexpr uint8_t kAtqbCode = 0x50;
constexpr uint8_t kCidMask = 0x0F;
constexpr uint8_t kCidSupported = 0x01;  // FO bit b1 of protocol info byte 3

}  // namespace

TypeBCard::TypeBCard(TypeBIdentity identity)
    : identity_(std::move(identity)),
      random_(static_cast<uint32_t>(identity_.pupi[0] << 24 | identity_.pupi[1] << 16 |
                                    identity_.pupi[2] << 8 | identity_.pupi[3]) |
              1u) {}

Atqb TypeBCard::atqb() const {
  Atqb atqb{kAtqbCode};
  std::copy(identity_.pupi.begin(), identity_.pupi.end(), atqb.begin() + 1);
  std::copy(identity_.applicationData.begin(), identity_.applicationData.end(), atqb.begin() + 5);
  std::copy(identity_.protocolInfo.begin(), identity_.protocolInfo.end(), atqb.begin() + 9);
  return atqb;
}

// AFI 00 calls every card; a family with sub-family 0 calls the whole family; else an exact match.
bool TypeBCard::afiMatches(uint8_t afi) const {
  if (afi == 0x00) return true;
  if ((afi & 0x0F) == 0) return (afi & 0xF0) == (identity_.afi & 0xF0);
  return afi == identity_.afi;
}

unsigned TypeBCard::drawSlot(unsigned slots) {
  if (identity_.fixedSlot) return std::min(*identity_.fixedSlot, slots);
  random_ ^= random_ << 13;  // xorshift32
  random_ ^= random_ >> 17;
  random_ ^= random_ << 5;
  return 1 + random_ % slots;
}

bool TypeBCard::onRequest(uint8_t afi, unsigned slots, bool wakeUp) {
  const bool listening = state_ == TypeBState::Idle || state_ == TypeBState::ReadyRequested ||
                         state_ == TypeBState::ReadyDeclared ||
                         (wakeUp && state_ == TypeBState::Halt);
  if (!listening || !afiMatches(afi)) return false;
  slot_ = drawSlot(slots);
  state_ = slot_ == 1 ? TypeBState::ReadyDeclared : TypeBState::ReadyRequested;
  return slot_ == 1;
}

bool TypeBCard::onSlotMarker(unsigned slot) {
  if (state_ != TypeBState::ReadyRequested || slot != slot_) return false;
  state_ = TypeBState::ReadyDeclared;
  return true;
}

std::optional<std::vector<uint8_t>> TypeBCard::onAttrib(const Pupi& pupi, uint8_t param4,
                                                        std::span<const uint8_t> higherLayer) {
  if (state_ != TypeBState::ReadyDeclared || pupi != identity_.pupi) return std::nullopt;
  state_ = TypeBState::Active;
  const bool cid = identity_.protocolInfo[2] & kCidSupported;
  std::vector<uint8_t> answer{static_cast<uint8_t>(cid ? param4 & kCidMask : 0)};  // MBLI 0
  if (!higherLayer.empty()) {
    answer.insert(answer.end(), identity_.higherLayerResponse.begin(),
                  identity_.higherLayerResponse.end());
  }
  return answer;
}

bool TypeBCard::onHalt(const Pupi& pupi) {
  const bool ready = state_ == TypeBState::ReadyRequested || state_ == TypeBState::ReadyDeclared ||
                     state_ == TypeBState::Active;
  if (!ready || pupi != identity_.pupi) return false;
  state_ = TypeBState::Halt;
  return true;
}

void TypeBCard::onFieldReset() {
  state_ = TypeBState::Idle;
}

}  // namespace norvexsim
