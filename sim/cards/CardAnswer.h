// SPDX-License-Identifier: MIT
#pragma once

namespace norvexsim {

// How a card answered one command, as the reader firmware sees it.
enum class CardAnswer {
  Ok,
  NoAnswer,          // the card stayed mute (e.g. a frame of a protocol it does not speak)
  NotAuthenticated,  // NAK: no authentication, or the block is outside the authenticated sector
  AccessDenied,      // NAK: the access conditions of the sector forbid the operation
  AuthFailed,        // the authentication did not complete (wrong key, block out of range)
  WrongUid,          // the authentication named another card's serial number
  BadValueBlock,     // NAK: the block is not in value block format
  Rejected,          // NAK: a command or argument the card does not support
};

}  // namespace norvexsim
