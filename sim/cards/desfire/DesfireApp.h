// SPDX-License-Identifier: MIT
#pragma once
// A DESFire EV1 card's command set behind the ISO 14443-4 block protocol: one native command
// byte and its parameters in, one status byte and data out, or the same wrapped in ISO 7816-4
// APDUs of class 90, or ISO 7816-4 commands of class 00. Native answers longer than a frame go
// out in parts, each but the last with status AF, fetched by the reader with the command AF;
// writes longer than a frame come in the same way. Any error status ends the authentication;
// after an EV1 authentication every command and answer goes through the session's CMAC chain.

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

// The EEPROM sizes of the card, as GetVersion's storage byte (2^(n/2) bytes: 0x16, 0x18, 0x1A).
enum class CardSize : uint8_t { k2K = 0x16, k4K = 0x18, k8K = 0x1A };

class DesfireApp : public tcl::TclApplication {
 public:
  static constexpr std::chrono::microseconds kCommandTime{1000};
  static constexpr std::chrono::microseconds kCryptoTime{2000};
  static constexpr size_t kMaxFrameData = 59;  // data bytes of one native answer frame

  // seed makes the card's challenges and random UIDs reproducible.
  DesfireApp(std::vector<uint8_t> uid, const Key& masterKey, uint32_t seed,
             CardSize size = CardSize::k4K);

  tcl::AppAnswer process(std::span<const uint8_t> command) override;
  // Deselection, a halt or power loss: the PICC level is selected, the open transaction and the
  // authentication are gone.
  void reset() override;
  // Master key settings, master key (16 bytes, 24 for three-key triple DES), then per
  // application its AID, key settings, key settings 2 (key count and cipher bits), keys and the
  // committed content of its data files in file number order. The image cannot be loaded back.
  std::vector<uint8_t> memory() const override;
  bool setMemory(const std::vector<uint8_t>&) override { return false; }
  bool keepsMemoryOutOfField() const override { return true; }
  std::vector<uint8_t> uidAfterPowerUp() override;
  std::vector<uint8_t> ats() const override { return card_.picc.configuration.ats; }

  // The authentications from now on challenge with this RndB (published traces replay).
  void fixChallenge(std::vector<uint8_t> rndB) { card_.authentication.fixChallenge(rndB); }

 private:
  // A write command whose data is still arriving in AF frames.
  struct Incoming {
    std::vector<uint8_t> command;
    size_t length;
  };
  using Handler = Answer (*)(CardContext&, Command);

  Answer native(Command command);
  Answer dispatch(Command command);
  // A whole command through its handler, inside the EV1 CMAC chain when a session has one.
  Answer run(Handler handler, Command command);
  Answer authenticate(Command command);
  Answer additionalFrame(Command command);
  Answer receiveWrite(Command firstFrame);
  // The first part now, the others for the reader's AF commands.
  Answer inParts(Answer whole);

  CardContext card_;
  std::deque<Answer> pendingParts_;
  std::optional<Incoming> incoming_;
  std::mt19937 random_;
};

}  // namespace norvexsim::desfire
