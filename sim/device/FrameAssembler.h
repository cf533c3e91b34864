// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/device/Packet.h"

namespace norvexsim {

// Reassembles request frames from OUT packets, as the firmware does: the first packet of a frame
// starts with 0xA5 and announces the frame length; further packets are appended until that many
// bytes are in; bytes past the frame's end in its last packet are padding and dropped.
class FrameAssembler {
 public:
  enum class Outcome { kNeedMore, kFrame, kDiscarded };

  struct Result {
    Outcome outcome = Outcome::kNeedMore;
    std::vector<uint8_t> frame;  // the whole frame when outcome is kFrame
  };

  // Takes one packet. A packet that should start a frame but does not begin with 0xA5 is
  // discarded (the firmware resynchronises on the next start byte).
  Result feed(const Packet& packet);

  // Drops a partly received frame (a new host took over the device).
  void reset();

  bool idle() const { return pending_.empty(); }

 private:
  std::vector<uint8_t> pending_;
  size_t expected_ = 0;
};

}  // namespace norvexsim
