// SPDX-License-Identifier: MIT
#pragma once
// One DESFire command through the session's EV1 secure channel, when there is one: the command
// secured as asked, sent in frames of at most 60 bytes (the first whole, then AF and 59 bytes each
// while the card answers AF), the answer frames joined (AF sent for more while the card has
// more), checked and unwrapped. Without a channel the command goes plain and the answer comes
// back as the card sent it. Any card status but 00 and AF, a CMAC or CRC32 that does not match
// and an answer of the wrong length end the channel, as the card ends it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "desfire/SecureChannel.h"
#include "norvexapi.h"

namespace desfire {

struct Ev1Request {
  std::vector<uint8_t> command;  // command byte, header, data
  size_t plainPart = 0;          // bytes that stay plain when the command is enciphered
  Comm send = Comm::Plain;
  Comm receive = Comm::Plain;
  size_t answerLength = 0;  // the plain length of an enciphered answer (the most, with answerUnit)
  size_t answerUnit = 0;    // answerLength is the most: the length is a multiple of this
  bool needsChannel = false;
  bool secured = false;          // the command is already secured under the channel
  bool answerUnchecked = false;  // the card answers the status alone, without a CMAC
};

// The data of each answer frame, in order (after a channel's CMAC is taken off the last one).
using FrameLengths = std::vector<size_t>;

// NORVEX_E_DF_NO_SESSKEY (nothing sent) when the request needs a channel and there is none.
long Ev1Transceive(void* session, const Ev1Request& request, std::vector<uint8_t>* answer,
                   FrameLengths* frames = nullptr);

// The file communication setting as a channel mode; false for a setting the card does not have.
bool CommOf(FILE_COMM_SET set, Comm* mode);

// The command, plain or CMACed under the channel, whose answer is the status alone.
long Ev1StatusOnly(void* session, const std::vector<uint8_t>& command);

}  // namespace desfire
