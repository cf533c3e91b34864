// SPDX-License-Identifier: MIT
#pragma once
// The reader's radio as the card instructions see it: how long the receiver waits for a card's
// frame, and the frames that went over the air during the current instruction (for the log).

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace norvexsim {

struct AirLink {
  // Set by the reader instruction 0x27 (in milliseconds there); 1000 ms at power-on.
  std::chrono::microseconds responseTimeout{std::chrono::milliseconds(1000)};
  // One line per frame of the current instruction: ">> ..." reader to card, "<< ..." card to
  // reader, "<< (no answer)" when nothing was heard.
  std::vector<std::string> trace;
  // How long the reader waited for the cards' raw frames during the current instruction: each
  // answer's delay, or the whole time-out when none was heard in time (for the timing model).
  std::chrono::microseconds cardWait{0};
};

}  // namespace norvexsim
