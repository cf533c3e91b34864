// SPDX-License-Identifier: MIT
#pragma once
#include <string_view>

namespace norvexsim {

// ISO 14443-3 type A card states. Authentication (Mifare Classic) is a sub-state of ACTIVE
// that the card itself keeps.
enum class CardState { Idle, Ready, Active, Halt };

constexpr std::string_view toString(CardState state) {
  switch (state) {
    case CardState::Idle:
      return "IDLE";
    case CardState::Ready:
      return "READY";
    case CardState::Active:
      return "ACTIVE";
    case CardState::Halt:
      return "HALT";
  }
  return "?";
}

}  // namespace norvexsim
