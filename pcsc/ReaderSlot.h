// SPDX-License-Identifier: MIT
#pragma once
// One reader as pcscd sees it: a library session connected to the reader, the card in its field
// and the key slots of LOAD KEYS. pcscd calls from several threads (its event thread polls
// presence while an application's thread transmits); every operation holds the slot's lock, as a
// library session serves one thread at a time.

extern "C" {
#include <ifdhandler.h>
}

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "pcsc/CardState.h"
#include "pcsc/DeviceName.h"

namespace norvex::pcsc {

class ReaderSlot {
 public:
  // Nothing when no reader answers at that address.
  static std::unique_ptr<ReaderSlot> open(const ReaderAddress& address);
  ~ReaderSlot();
  ReaderSlot(const ReaderSlot&) = delete;
  ReaderSlot& operator=(const ReaderSlot&) = delete;

  // Polls the field: IFD_ICC_PRESENT or IFD_ICC_NOT_PRESENT.
  RESPONSECODE presence();
  // IFD_POWER_UP and IFD_RESET activate the card and give its ATR (another card than the one
  // reported is a removal: the power action fails and the next poll reports the card gone);
  // IFD_POWER_DOWN deactivates it and keeps its identity for the presence polls.
  RESPONSECODE power(DWORD action, uint8_t* atr, DWORD* atrLength);
  RESPONSECODE transmit(std::span<const uint8_t> command, uint8_t* answer, DWORD* answerLength);
  // The ATR of the powered card; empty when none is powered.
  std::vector<uint8_t> atr();

 private:
  explicit ReaderSlot(void* session) : session_(session) {}
  RESPONSECODE exchangeApdu(std::span<const uint8_t> command, uint8_t* answer, DWORD* answerLength);
  // The card failed in the middle of a command, or another card took its place: the next polls
  // report it gone, so that pcscd tells the applications and then activates whatever card is
  // there as a new one.
  void loseCard();
  // True while a removal is still to be reported (see loseCard).
  bool reportingRemoval();

  std::mutex mutex_;
  void* session_;
  std::optional<CardState> card_;
  std::optional<std::chrono::steady_clock::time_point> removalSince_;
  unsigned removalReports_ = 0;
  KeySlots keys_;
};

}  // namespace norvex::pcsc
