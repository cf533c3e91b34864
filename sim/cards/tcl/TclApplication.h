// SPDX-License-Identifier: MIT
#pragma once
// What runs behind an ISO/IEC 14443-4 card's block protocol: it takes whole commands (the joined
// INF fields of a chain) and gives whole answers, with the time the card needs to compute them.

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace norvexsim::tcl {

struct AppAnswer {
  std::vector<uint8_t> data;
  std::chrono::microseconds time{0};  // processing time before the answer can go out
};

class TclApplication {
 public:
  virtual ~TclApplication() = default;
  virtual AppAnswer process(std::span<const uint8_t> command) = 0;
  // The card was deselected, halted or lost its power: volatile state goes, files stay.
  virtual void reset() = 0;
  // The non-volatile content, as one image (for tests and the simulator API).
  virtual std::vector<uint8_t> memory() const = 0;
  virtual bool setMemory(const std::vector<uint8_t>& image) = 0;
  // True when the memory survives removal from the field (see Card::keepsMemoryOutOfField).
  virtual bool keepsMemoryOutOfField() const { return false; }
  // The UID the card answers anticollision with after a power-up when it is not the card's own
  // (a card that draws a random UID each time); empty: its own.
  virtual std::vector<uint8_t> uidAfterPowerUp() { return {}; }
  // The ATS the card answers RATS with when the application chose one; empty: the card's own.
  virtual std::vector<uint8_t> ats() const { return {}; }
};

}  // namespace norvexsim::tcl
