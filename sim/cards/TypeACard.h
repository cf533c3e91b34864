// SPDX-License-Identifier: MIT
#pragma once
// One ISO 14443-3 type A card in the field: its identity (UID, ATQ, SAK), its state machine
// and the commands a reader may send to it once it is ACTIVE. Type A card kinds derive from it and
// implement the commands they understand; everything else is refused as a real card would.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/cards/Card.h"
#include "sim/cards/CardAnswer.h"
#include "sim/cards/CardFrame.h"
#include "sim/cards/CardState.h"
#include "sim/cards/MifareKey.h"

namespace norvexsim {

using Atq = std::array<uint8_t, 2>;           // ATQA, byte 0 first as it goes over the air
using CascadeBytes = std::array<uint8_t, 4>;  // the UID bytes of one cascade level

constexpr uint8_t kCascadeTag = 0x88;
constexpr uint8_t kSakCascadeBit = 0x04;  // SAK bit: the UID is not complete yet

// The 4 bytes of a UID (4, 7 or 10 bytes) sent at cascade level 1..n: the cascade tag and 3
// UID bytes while more levels follow, the last 4 UID bytes at the last level.
CascadeBytes cascadeBytesOf(const std::vector<uint8_t>& uid, size_t level);

class TypeACard : public Card {
 public:
  // uid has 4, 7 or 10 bytes; the SAK is the final one (without the cascade bit).
  // Throws std::invalid_argument otherwise.
  TypeACard(std::vector<uint8_t> uid, Atq atq, uint8_t sak);
  ~TypeACard() override;

  TypeACard* typeA() override { return this; }
  const Atq& atq() const { return atq_; }
  uint8_t sak() const { return sak_; }
  CardState state() const { return state_; }

  size_t cascadeLevels() const { return uid().size() / 3; }  // 4 -> 1, 7 -> 2, 10 -> 3
  CascadeBytes cascadeBytes(size_t level) const { return cascadeBytesOf(uid(), level); }
  // The serial number a Mifare authentication is computed with: the last cascade level.
  CascadeBytes authenticationUid() const { return cascadeBytes(cascadeLevels()); }

  // What the card does with each frame that reaches it. A card in IDLE or HALT ignores all but
  // the requests; READY and ACTIVE cards treat any frame they do not expect as an error and go
  // back to IDLE (to HALT when they were woken from HALT).

  // REQA (wakeUp false) wakes IDLE cards, WUPA also HALT ones; true when the card answers.
  bool onRequest(bool wakeUp);
  // Anticollision frame of a cascade level: true when the card takes part in it.
  bool onAnticollision(size_t level);
  // Select of a cascade level: the SAK when the bytes are the card's own (then READY for the
  // next level, or ACTIVE); a READY card that is not addressed falls back.
  std::optional<uint8_t> onSelect(size_t level, const CascadeBytes& bytes);
  // HLTA: true when the card was ACTIVE and is now halted.
  bool onHalt();
  // Any other frame: true for the ACTIVE card, which is the one that processes it.
  bool onCommandFrame();
  void onFieldReset() override;

  // Commands for the ACTIVE card. A failure sends the card back to IDLE (HALT when it was
  // woken from HALT) and drops its authentication, as after a NAK or a failed authentication.
  CardAnswer authenticate(uint8_t keyType, uint8_t block, const MifareKey& key,
                          const CascadeBytes& serial);
  CardAnswer read(uint8_t command, uint8_t address, std::vector<uint8_t>& out);
  CardAnswer write(uint8_t command, uint8_t address, std::span<const uint8_t> data);
  CardAnswer value(uint8_t operation, uint8_t block, uint32_t operand, uint8_t transferBlock);
  // A frame of a protocol above ISO 14443-3 (RATS, ISO 14443-4 blocks), handed to exchange().
  CardAnswer transceive(std::span<const uint8_t> frame, CardFrame& answer) override;

 protected:
  virtual CardAnswer doAuthenticate(uint8_t keyType, uint8_t block, const MifareKey& key,
                                    const CascadeBytes& serial);
  virtual CardAnswer doRead(uint8_t command, uint8_t address, std::vector<uint8_t>& out);
  virtual CardAnswer doWrite(uint8_t command, uint8_t address, std::span<const uint8_t> data);
  virtual CardAnswer doValue(uint8_t operation, uint8_t block, uint32_t operand,
                             uint8_t transferBlock);
  // Hook for cards with an ISO 14443-4 layer: the answer to one frame of a raw exchange, or
  // std::nullopt when the card stays mute (cards without that layer).
  virtual std::optional<CardFrame> exchange(std::span<const uint8_t> frame);
  // Called whenever the card leaves ACTIVE: forget authentication and protocol state.
  virtual void dropSession() {}
  // Back to IDLE, or to HALT when the card was woken from HALT; drops the session.
  void fallBack();

 private:
  void enterReady(bool fromHalt);
  CardAnswer settle(CardAnswer answer);

  Atq atq_;
  uint8_t sak_;
  CardState state_ = CardState::Idle;
  bool wokenFromHalt_ = false;  // the ISO "*" states: fall back to HALT, not IDLE
  size_t readyLevel_ = 1;       // cascade level a READY card waits for
};

}  // namespace norvexsim
