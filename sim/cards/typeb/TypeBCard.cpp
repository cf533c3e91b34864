// SPDX-License-Identifier: MIT
#include "sim/cards/typeb/TypeBCard.h"

#include <algorithm>
#include <utility>

#include "sim/cards/tcl/Ats.h"

namespace norvexsim {

namespace {

constexpr uint8_t kAtqbCode = 0x50;
constexpr uint8_t kCidMask = 0x0F;
// Protocol info byte 3: FWI in bits 8-5, FO in bits 2-1 (b2 NAD, b1 CID supported).
constexpr uint8_t kCidSupported = 0x01;
constexpr uint8_t kNadSupported = 0x02;
constexpr uint8_t kRfuFwi = 15, kDefaultFwi = 4;
constexpr size_t kFrameSizeByte = 1, kTimingByte = 2;  // of the protocol info

// The card's side of the ISO 14443-4 link that ATTRIB opens: its own frame size (Max_Frame_Size,
// protocol info byte 2 bits 8-5) and waiting time, the reader's frame size from Param 2 (bits
// 4-1) and the CID from Param 4 when the card supports CID.
tcl::LinkParameters linkOf(const TypeBIdentity& identity, const std::array<uint8_t, 4>& param) {
  const uint8_t timing = identity.protocolInfo[kTimingByte];
  const uint8_t fwi = timing >> 4;
  tcl::LinkParameters link;
  link.fsc = tcl::frameSizeOf(identity.protocolInfo[kFrameSizeByte] >> 4);
  link.fsd = tcl::frameSizeOf(param[1] & 0x0F);
  link.cidSupported = timing & kCidSupported;
  link.nadSupported = timing & kNadSupported;
  link.cid = link.cidSupported ? param[3] & kCidMask : 0;
  link.fwt = tcl::frameWaitingTimeOf(fwi == kRfuFwi ? kDefaultFwi : fwi);
  return link;
}

}  // namespace

TypeBCard::TypeBCard(TypeBIdentity identity, std::unique_ptr<tcl::TclApplication> application)
    : Card(std::vector<uint8_t>(identity.pupi.begin(), identity.pupi.end())),
      identity_(std::move(identity)),
      random_(static_cast<uint32_t>(identity_.pupi[0] << 24 | identity_.pupi[1] << 16 |
                                    identity_.pupi[2] << 8 | identity_.pupi[3]) |
              1u),
      application_(std::move(application)),
      engine_(*application_, faults_) {}

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

std::optional<std::vector<uint8_t>> TypeBCard::onAttrib(const Pupi& pupi,
                                                        const std::array<uint8_t, 4>& param,
                                                        std::span<const uint8_t> higherLayer) {
  if (state_ != TypeBState::ReadyDeclared || pupi != identity_.pupi) return std::nullopt;
  state_ = TypeBState::Active;
  const tcl::LinkParameters link = linkOf(identity_, param);
  engine_.start(link);
  application_->reset();
  std::vector<uint8_t> answer{link.cid};  // MBLI 0: no limit on chained answers
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
  endSession(TypeBState::Halt);
  return true;
}

void TypeBCard::onFieldReset() {
  endSession(TypeBState::Idle);
}

CardAnswer TypeBCard::transceive(std::span<const uint8_t> frame, CardFrame& answer) {
  if (state_ != TypeBState::Active) return CardAnswer::NoAnswer;
  tcl::EngineOutput out = engine_.receive(frame);
  if (out.leftField) leftField_ = true;
  if (out.deselected) endSession(TypeBState::Halt);
  if (!out.frame) return CardAnswer::NoAnswer;
  answer = std::move(*out.frame);
  return CardAnswer::Ok;
}

void TypeBCard::endSession(TypeBState next) {
  state_ = next;
  engine_.stop();
  application_->reset();
}

}  // namespace norvexsim
