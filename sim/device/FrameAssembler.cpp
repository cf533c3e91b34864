// SPDX-License-Identifier: MIT
#include "sim/device/FrameAssembler.h"

#include "sim/device/Frame.h"

namespace norvexsim {

FrameAssembler::Result FrameAssembler::feed(const Packet& packet) {
  if (pending_.empty()) {
    if (packet[0] != kFrameStart) return {Outcome::kDiscarded, {}};
    expected_ = announcedFrameLength(packet);
    pending_.reserve(expected_ + kPacketSize);
  }
  pending_.insert(pending_.end(), packet.begin(), packet.end());
  if (pending_.size() < expected_) return {Outcome::kNeedMore, {}};

  Result result{Outcome::kFrame, std::move(pending_)};
  result.frame.resize(expected_);
  reset();
  return result;
}

void FrameAssembler::reset() {
  pending_.clear();
  expected_ = 0;
}

}  // namespace norvexsim
