// SPDX-License-Identifier: MIT
#include "reader/Iso14443_4Block.h"

#include <algorithm>

#include "status/StatusCodes.h"

namespace tcl {

std::optional<CardFrame> ParseCardFrame(std::span<const uint8_t> frame) {
  if (frame.empty()) return std::nullopt;
  const uint8_t pcb = frame[0];
  const size_t prologue = (pcb & kCidBit) != 0 ? 2 : 1;
  if (frame.size() < prologue) return std::nullopt;
  CardFrame parsed{pcb, frame.subspan(prologue)};
  if (Classify(pcb) == Block::WaitingTimeExtension && parsed.inf.empty()) return std::nullopt;
  return parsed;
}

long CheckFrameSize(uint32_t frameSize) {
  if (frameSize < kMinFrameSize) return frame_too_small;
  if (frameSize > kMaxFrameSize) return wrong_parameter_value;
  return 0;
}

uint32_t ExtendedWaitingTime(uint32_t timeout, uint8_t wtxm) {
  const uint64_t multiplier = std::max<uint8_t>(wtxm & kWtxmMask, 1);
  const uint64_t extended = std::min<uint64_t>(timeout * multiplier, kMaxFrameWaitingTime);
  return static_cast<uint32_t>(std::max<uint64_t>(extended, timeout));
}

}  // namespace tcl
