// SPDX-License-Identifier: MIT
// The ISO 14443-4 block protocol of the command set (Host2NorvexBase) with every card frame, ATS
// and PPS answer taken from the fuzz input.
//
// Input: [operation][frame size u16][capacity u16][flags][APDU length u16][replies...]; a reply
// record is [kind][u16 L][L bytes]: kind 3 (mod 4) fails the exchange as the transport would,
// kind 2 is a reader time-out (the card stayed silent), anything else delivers the bytes as the
// card's frame. The reader's response time-out instruction always succeeds; an exhausted input is
// a silent reader.
// Checked: nothing is written to the caller on failure (answer length and block number keep their
// values); on success the answer fits the capacity and the block number is a bit; every exchange
// ends within a bound of reader instructions set by the input's length.

#include <memory>

#include "reader/Host2NorvexBase.h"
#include "status/StatusCodes.h"
#include "support/CardScript.h"
#include "support/Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t operation = input.Byte();
  const uint16_t frameSize = input.Word(), capacity = input.Word();
  const uint8_t flags = input.Byte();
  const uint16_t apduLength = input.Word();
  const auto apdu = ExactBuffer(apduLength);
  const auto resp = ExactBuffer(capacity);
  CardScript script(input);
  FuzzedReader reader(&script);

  uint16_t length = capacity;
  uint8_t blockNumber = flags & 1;
  long result = 0;
  switch (operation % 5) {
    case 0:
      result = reader.SendAPDU(apdu.get(), apduLength, resp.get(), &length, frameSize, flags >> 4,
                               0, (flags >> 1) & 1, 0, &blockNumber, 100);
      break;
    case 1:
      result = reader.Send_NOP_APDU(capacity, flags >> 4, (flags >> 1) & 1, &blockNumber, 100);
      break;
    case 2:
      result = reader.Reset14443_4Card((flags >> 1) & 1, flags >> 4, resp.get(), &length);
      break;
    case 3:
      result = reader.RequestATS(flags, resp.get(), &length);
      break;
    default:
      result = reader.ISO4PPSRequest(flags >> 4, flags & 3, (flags >> 2) & 3);
      break;
  }
  if (operation % 5 == 0 || operation % 5 == 1) {
    if (result != 0) FUZZ_CHECK(length == capacity && blockNumber == (flags & 1));
    if (operation % 5 == 1) FUZZ_CHECK(blockNumber == (flags & 1));
  }
  if (result == 0) FUZZ_CHECK(length <= capacity && blockNumber <= 1);
  // Each card frame costs at least 3 input bytes and two instructions; a failed I-block adds one
  // R(NAK) exchange, a failed APDU one S(DESELECT).
  FUZZ_CHECK(script.instructions <= 4 * static_cast<long>(size) + 8);
  return 0;
}
