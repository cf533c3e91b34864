// SPDX-License-Identifier: MIT
#pragma once
// The class FF pseudo-APDUs of PC/SC Part 3 that the driver answers itself: GET DATA (UID, ATS
// historical bytes) for every card, and for storage cards LOAD KEYS, GENERAL AUTHENTICATE (and
// the older AUTHENTICATE), READ BINARY and UPDATE BINARY on Mifare Classic blocks and
// Ultralight pages.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pcsc/CardState.h"
#include "pcsc/CommandApdu.h"

namespace norvex::pcsc {

class PseudoApdu {
 public:
  PseudoApdu(void* session, CardState& card, KeySlots& keys)
      : session_(session), card_(card), keys_(keys) {}

  // The answer, data then status word; nothing when the card left the field during the command.
  std::optional<std::vector<uint8_t>> run(std::span<const uint8_t> apdu);

 private:
  using Answer = std::vector<uint8_t>;

  Answer dispatch(const CommandApdu& command);
  Answer getData(const CommandApdu& command) const;
  Answer loadKeys(const CommandApdu& command);
  Answer generalAuthenticate(const CommandApdu& command);
  Answer authenticate(unsigned block, uint8_t keyType, uint8_t keyNumber);
  Answer readBinary(const CommandApdu& command);
  Answer updateBinary(const CommandApdu& command);
  // The status word after a card operation failed: 63 00 when the same card still answers
  // (selected anew), otherwise the card counts as gone.
  Answer cardFailure();
  // The 4 UID bytes Mifare Classic authentication works with (the last 4 of a longer UID).
  const uint8_t* authenticationUid() const;

  void* session_;
  CardState& card_;
  KeySlots& keys_;
  bool cardLost_ = false;
};

}  // namespace norvex::pcsc
