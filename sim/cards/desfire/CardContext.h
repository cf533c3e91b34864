// SPDX-License-Identifier: MIT
#pragma once
// What one native command works on: the card's memory, the selected application (the PICC
// level, AID 000000, or one application) and the authentication. Leaving an application, by
// selecting another or by losing power, ends its open transaction and the authentication.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/cards/desfire/DesfireModel.h"
#include "sim/cards/desfire/LegacyAuthentication.h"

namespace norvexsim::desfire {

using Answer = std::vector<uint8_t>;       // status byte, then data
using Command = std::span<const uint8_t>;  // command byte, then parameters

class CardContext {
 public:
  using Authenticated = LegacyAuthentication::Authenticated;

  Picc picc;
  LegacyAuthentication authentication;

  bool atPiccLevel() const { return selected_ == kPiccAid; }
  const Aid& selected() const { return selected_; }
  // The selected application; null at the PICC level.
  Application* application();
  // The keys of the selected level.
  KeySet& keys();
  const Authenticated* authenticated() const;
  bool authenticatedWith(uint8_t keyNo) const;
  // Leaves the selected application (its transaction aborted) for another level.
  void select(const Aid& aid);
  // Power loss or deselection: back to the PICC level, nothing volatile kept.
  void reset() { select(kPiccAid); }

 private:
  Aid selected_ = kPiccAid;
};

// Little-endian numbers as the card's commands carry them.
uint32_t readUnsigned(Command command, size_t offset, size_t bytes);
void appendUnsigned(std::vector<uint8_t>& out, uint32_t value, size_t bytes);

}  // namespace norvexsim::desfire
