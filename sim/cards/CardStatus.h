// SPDX-License-Identifier: MIT
#pragma once
// Reader status bytes of the card instructions. Each is chosen for the library code that the
// host maps it to, so an application sees the cause of a failure.

#include <cstdint>

#include "sim/cards/CardAnswer.h"

namespace norvexsim::cardstatus {

constexpr int8_t kOk = 0;
constexpr int8_t kNoCard = -1;             // 8001 no card in range: nothing answered
constexpr int8_t kAuthError = -4;          // 8002 authorization is not allowed
constexpr int8_t kWrongCard = -8;          // 8003 wrong card or card replaced
constexpr int8_t kNotAuthenticated = -10;  // 8004 previous authorization expected
constexpr int8_t kCardByte = -12;          // 8006 card byte: card refused the bytes it got
constexpr int8_t kBadFrame = -21;          // 7002 bad frame: malformed instruction parameters
constexpr int8_t kCardTimeout = -22;       // 7003 card access time-out: selected card mute
constexpr int8_t kCollision = -24;         // 7004 collision: several cards answered at once

constexpr int8_t of(CardAnswer answer) {
  switch (answer) {
    case CardAnswer::Ok:
      return kOk;
    case CardAnswer::NoAnswer:
      return kCardTimeout;
    case CardAnswer::NotAuthenticated:
      return kNotAuthenticated;
    case CardAnswer::AccessDenied:
      return kAuthError;
    case CardAnswer::AuthFailed:
      return kAuthError;
    case CardAnswer::WrongUid:
      return kWrongCard;
    case CardAnswer::BadValueBlock:
      return kCardByte;
    case CardAnswer::Rejected:
      return kCardByte;
  }
  return kCardByte;
}

}  // namespace norvexsim::cardstatus
