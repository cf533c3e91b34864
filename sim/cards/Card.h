// SPDX-License-Identifier: MIT
#pragma once
// A card in the field, whatever its kind: the identifier the field knows it by, its memory, its
// answer to the raw frames of the protocol above ISO 14443-3, and what a field reset does to it.
// Every kind derives from one of the two technologies, TypeACard (ISO 14443-3 type A: UID, ATQA,
// SAK, anticollision by cascade levels) or TypeBCard (type B: PUPI, ATQB, slotted
// anticollision); the reader firmware talks to each card only in its own technology.

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/cards/CardAnswer.h"
#include "sim/cards/CardFrame.h"

namespace norvexsim {

namespace tcl {
struct TclFault;
}  // namespace tcl

class TypeACard;
class TypeBCard;

class Card {
 public:
  virtual ~Card() = default;
  Card(const Card&) = delete;
  Card& operator=(const Card&) = delete;

  // The kind's name, as a description names it ("classic1k", "typeb").
  virtual std::string_view kind() const = 0;
  // The UID of a type A card, the PUPI of a type B one: what the field and its users name it by.
  const std::vector<uint8_t>& uid() const { return uid_; }

  // The card's technology: exactly one of the two is the card itself, the other null.
  virtual TypeACard* typeA() { return nullptr; }
  virtual TypeBCard* typeB() { return nullptr; }

  // The field was switched off and on: back to IDLE, every session dropped.
  virtual void onFieldReset() = 0;
  // A frame of the protocol above ISO 14443-3 for the ACTIVE card: its answer and when it starts,
  // or NoAnswer when the card stays mute.
  virtual CardAnswer transceive(std::span<const uint8_t> frame, CardFrame& answer) = 0;
  // True once the card has left the field by itself (a fault); the field then drops it.
  virtual bool hasLeftField() const { return false; }
  // True for cards whose memory lives on outside the field (an EEPROM card taken away and
  // brought back); the field keeps such a card while it is out.
  virtual bool keepsMemoryOutOfField() const { return false; }

  virtual std::vector<uint8_t> memory() const = 0;
  // false when the image does not have the size of the card's memory.
  virtual bool setMemory(const std::vector<uint8_t>& image) = 0;

  // Arms a fault of the ISO 14443-4 layer; false for a card without that layer.
  virtual bool armFault(const tcl::TclFault&) { return false; }
  virtual void clearFaults() {}

 protected:
  explicit Card(std::vector<uint8_t> uid) : uid_(std::move(uid)) {}

 private:
  std::vector<uint8_t> uid_;
};

}  // namespace norvexsim
