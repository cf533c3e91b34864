// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>
#include <cstdint>
#include <vector>

namespace norvexsim {

// A frame a card puts on the air (without its CRC) and when: the time from the end of the
// reader's frame to the start of the card's answer. A reader hears it only when that time is
// within its response time-out.
struct CardFrame {
  std::vector<uint8_t> bytes;
  std::chrono::microseconds delay{0};
};

}  // namespace norvexsim
