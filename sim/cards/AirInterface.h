// SPDX-License-Identifier: MIT
#pragma once
// The reader's side of ISO 14443-3 type A: each call puts one kind of frame on the air, every
// type A card in the field receives it, and the call returns what the reader hears back. Cards of
// the other technology do not hear these frames.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "sim/cards/TypeACard.h"

namespace norvexsim {

class AirInterface {
 public:
  explicit AirInterface(const std::vector<std::unique_ptr<Card>>& cards) : cards_(cards) {}

  // REQA or WUPA. The ATQs of all answering cards superpose bit by bit (wired OR).
  std::optional<Atq> request(bool wakeUp) const;
  // Bit-oriented anticollision at one cascade level, started with the first bitCount (0..32)
  // bits of known, least significant bit of byte 0 first. Where answering cards disagree on a
  // bit the reader continues with bit value 1, so exactly one card's bytes come back.
  std::optional<CascadeBytes> anticollision(size_t level, const CascadeBytes& known,
                                            size_t bitCount) const;
  // SELECT of one cascade level; the SAK of the card with these bytes.
  std::optional<uint8_t> select(size_t level, const CascadeBytes& bytes) const;
  // HLTA; true when a card was halted.
  bool halt() const;
  // Any other command frame: READY cards drop out; returns the ACTIVE card, if there is one.
  TypeACard* commandTarget() const;

 private:
  // The type A cards of the field, in the order they were placed.
  std::vector<TypeACard*> typeACards() const;

  const std::vector<std::unique_ptr<Card>>& cards_;
};

}  // namespace norvexsim
