// SPDX-License-Identifier: MIT
// Translation of the reader's reply status byte into a library status code.

#include <algorithm>

#include "status/StatusCodes.h"

namespace {

struct ReaderStatusMapping {
  signed char readerStatus;
  long code;
};

// Status bytes the reader firmware reports; every other non-zero byte is a failed card write
// (any_wire_err).
constexpr ReaderStatusMapping kReaderStatusMap[] = {
    {0, 0},
    {-1, no_card_in_rf},
    {-2, crc_error},
    {-3, overflow_3964},
    {-4, no_auth_allowed},
    {-5, com_parity_err},
    {-8, wrong_card},
    {-10, no_auth_done},
    {-11, card_bit_err},
    {-12, card_byte_err},
    {-13, idle_err},
    {-20, after_pooling},
    {-21, framing_erro},
    {-22, access_timeout},
    {-24, coll_err},
};

}  // namespace

long GetErr(char status) {
  // The byte is signed on the wire whatever the platform's plain char is.
  const auto readerStatus = static_cast<signed char>(status);
  const auto* found =
      std::ranges::find(kReaderStatusMap, readerStatus, &ReaderStatusMapping::readerStatus);
  return found == std::ranges::end(kReaderStatusMap) ? any_wire_err : found->code;
}
