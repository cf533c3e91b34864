// SPDX-License-Identifier: MIT
#include "sim/cards/TclCard.h"

#include <utility>

namespace norvexsim {
namespace {

constexpr uint8_t kPpsStart = 0xD0, kPpsMask = 0xF0;
constexpr uint8_t kPps0WithPps1 = 0x11, kPps0Alone = 0x01;
constexpr uint8_t kRfuCid = 15;
constexpr uint8_t kTaSameDivisor = 0x80;

bool isRats(std::span<const uint8_t> frame) {
  return frame.size() == 2 && frame[0] == kRats;
}

bool isPps(std::span<const uint8_t> frame) {
  return !frame.empty() && (frame[0] & kPpsMask) == kPpsStart;
}

// Whether TA announces the divisor 2^code (code 0 = 106 kbit/s is always there). DS is the
// card's sending direction (TA bits 7-5), DR its receiving direction (bits 3-1).
bool bitRateSupported(uint8_t ta, uint8_t code, bool sending) {
  if (code == 0) return true;
  const int bit = (sending ? 4 : 0) + code - 1;
  return (ta >> bit) & 1;
}

}  // namespace

TclCard::TclCard(std::string kind, std::vector<uint8_t> uid, Atq atq, tcl::Ats ats,
                 std::unique_ptr<tcl::TclApplication> application)
    : TypeACard(std::move(uid), atq, kSakIso14443_4),
      kind_(std::move(kind)),
      ats_(std::move(ats)),
      application_(std::move(application)),
      engine_(*application_, faults_) {}

std::optional<CardFrame> TclCard::exchange(std::span<const uint8_t> frame) {
  if (layer_ == Layer::Iso14443_3) {
    if (isRats(frame)) return answerRats(frame);
    fallBack();  // before RATS only RATS and HLTA are understood
    return std::nullopt;
  }
  if (layer_ == Layer::AtsSent && isPps(frame)) {
    auto answer = answerPps(frame);
    if (answer) layer_ = Layer::Protocol;
    return answer;
  }
  layer_ = Layer::Protocol;  // PPS is possible only as the first frame after the ATS
  tcl::EngineOutput out = engine_.receive(frame);
  if (out.leftField) leftField_ = true;
  if (out.deselected) onHalt();
  return std::move(out.frame);
}

// RATS: E0, then FSDI in the high nibble and the CID the card is to use in the low one.
std::optional<CardFrame> TclCard::answerRats(std::span<const uint8_t> frame) {
  const uint8_t cid = frame[1] & 0x0F;
  if (cid == kRfuCid) return std::nullopt;
  tcl::LinkParameters link;
  link.fsc = ats_.fsc();
  link.fsd = tcl::frameSizeOf(frame[1] >> 4);
  link.cidSupported = ats_.cidSupported();
  link.nadSupported = ats_.nadSupported();
  link.cid = link.cidSupported ? cid : 0;
  link.fwt = ats_.fwt();
  engine_.start(link);
  application_->reset();
  layer_ = Layer::AtsSent;
  return CardFrame{ats_.bytes(), tcl::BlockEngine::kBlockAnswerTime};
}

// PPS request: PPSS (D0 | CID), PPS0 (11: PPS1 follows, 01: none), PPS1 (DSI in bits 4-3, DRI
// in bits 2-1). The card confirms with PPSS when it addresses it and asks for bit rates its TA
// offers; otherwise it stays silent.
std::optional<CardFrame> TclCard::answerPps(std::span<const uint8_t> frame) {
  const uint8_t cid = frame[0] & 0x0F;
  if (cid != (ats_.cidSupported() ? engine_.cid() : 0)) return std::nullopt;
  if (frame.size() == 2 && frame[1] == kPps0Alone) {
    return CardFrame{{frame[0]}, tcl::BlockEngine::kBlockAnswerTime};
  }
  if (frame.size() != 3 || frame[1] != kPps0WithPps1 || (frame[2] & 0xF0)) return std::nullopt;
  const uint8_t dsi = (frame[2] >> 2) & 0x03, dri = frame[2] & 0x03;
  const uint8_t ta = ats_.ta();
  if (!bitRateSupported(ta, dsi, true) || !bitRateSupported(ta, dri, false)) return std::nullopt;
  if ((ta & kTaSameDivisor) && dsi != dri) return std::nullopt;
  return CardFrame{{frame[0]}, tcl::BlockEngine::kBlockAnswerTime};
}

void TclCard::dropSession() {
  layer_ = Layer::Iso14443_3;
  engine_.stop();
  application_->reset();
}

}  // namespace norvexsim
