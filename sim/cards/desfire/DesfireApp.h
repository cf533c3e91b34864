// SPDX-License-Identifier: MIT
#pragma once
// A DESFire card's native command set behind the ISO 14443-4 block protocol: one command byte and
// its parameters in, one status byte and data out, or the same wrapped in ISO 7816-4 APDUs of
// class 90. Answers longer than a frame go out in parts, each but the last with status AF,
// fetched by the reader with the command AF; writes longer than a frame come in the same way.
// Any error status ends the authentication.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "sim/cards/desfire/CardContext.h"
#include "sim/cards/tcl/TclApplication.h"

namespace norvexsim::desfire {

class DesfireApp : public tcl::TclApplication {
 public:
  static constexpr std::chrono::microseconds kCommandTime{1000};
  static constexpr std::chrono::microseconds kCryptoTime{2000};
  static constexpr size_t kMaxFrameData = 59;  // data bytes of one native answer frame

  // seed makes the card's challenges reproducible.
  DesfireApp(std::vector<uint8_t> uid, const Key& masterKey, uint32_t seed);

  tcl::AppAnswer process(std::span<const uint8_t> command) override;
  // Deselection, a halt or power loss: the PICC level is selected, the open transaction and the
  // authentication are gone.
  void reset() override;
  // Master key settings, master key, then per application its AID, key settings, key count,
  // keys. The image cannot be loaded back.
  std::vector<uint8_t> memory() const override;
  bool setMemory(const std::vector<uint8_t>&) override { return false; }
  bool keepsMemoryOutOfField() const override { return true; }

 private:
  // A write command whose data is still arriving in AF frames.
  struct Incoming {
    std::vector<uint8_t> command;
    size_t length;
  };

  Answer native(Command command);
  Answer dispatch(Command command);
  Answer getVersion();
  Answer authenticate(Command command);
  Answer additionalFrame(Command command);
  Answer receiveWrite(Command firstFrame);
  // The first part now, the others for the reader's AF commands.
  Answer inParts(Answer whole);

  std::vector<uint8_t> uid_;
  CardContext card_;
  std::deque<Answer> pendingParts_;
  std::optional<Incoming> incoming_;
  std::mt19937 random_;
};

}  // namespace norvexsim::desfire
