// SPDX-License-Identifier: MIT
#pragma once
// Ultralight EV1 and NTAG21x commands the reader has no instruction of its own for (GET_VERSION,
// FAST_READ, READ_CNT, PWD_AUTH) go to the tag as raw frames through the reader's byte stream
// instruction, which adds CRC_A to the frame and checks and strips it from the answer. A tag that
// refuses a command answers with a 4-bit NAK, which the reader hands on as one byte, and goes
// idle.

#include <cstdint>
#include <span>

#include "reader/Host2RDCom.h"

namespace mifu {

// Sends frame and fills answer with the tag's answer, which must have exactly answer.size()
// bytes. A one-byte answer (a NAK) gives refusedStatus, another length resp_too_short; answer is
// then unspecified.
long ExchangeFrame(Host2RDCom& reader, std::span<const uint8_t> frame, std::span<uint8_t> answer,
                   long refusedStatus);

}  // namespace mifu
