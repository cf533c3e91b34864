// SPDX-License-Identifier: MIT
#pragma once
// The modelled duration of one reader exchange: the USB frames of its request and reply, the
// reader's processing, and the card commands its instruction puts on the air with the card's own
// processing (AirTime.h).

#include <cstdint>
#include <span>

namespace norvexsim::timing {

// What the reader did with one request frame.
struct ExchangeFacts {
  uint8_t instruction = 0;
  std::span<const uint8_t> params;
  int8_t status = 0;               // the reply's status byte
  std::span<const uint8_t> reply;  // the reply's data bytes
  double cardWaitUs = 0.0;  // how long the reader waited for ISO 14443-4 and raw-frame answers
  bool typeB = false;       // raw frames went to a type B card (ISO 14443-B framing)
};

// Air time and card processing of the card commands the instruction runs; 0 for an instruction
// that stays inside the reader.
double airUs(const ExchangeFacts& facts);

// The whole exchange: USB request frame of requestBytes, reader processing and air time, reply
// frame of replyBytes (0: no reply).
double exchangeUs(size_t requestBytes, size_t replyBytes, const ExchangeFacts& facts);

}  // namespace norvexsim::timing
