// SPDX-License-Identifier: MIT
#include "sim/cards/TypeACard.h"

#include <stdexcept>
#include <utility>

namespace norvexsim {

TypeACard::TypeACard(std::vector<uint8_t> uid, Atq atq, uint8_t sak)
    : Card(std::move(uid)), atq_(atq), sak_(sak) {
  const std::vector<uint8_t>& bytes = this->uid();
  if (bytes.size() != 4 && bytes.size() != 7 && bytes.size() != 10) {
    throw std::invalid_argument("a type A UID has 4, 7 or 10 bytes");
  }
  // The first byte of the last cascade level must not look like the cascade tag.
  if (bytes[3 * (cascadeLevels() - 1)] == kCascadeTag) {
    throw std::invalid_argument("the UID would start its last cascade level with the tag 88");
  }
  if (sak_ & kSakCascadeBit) {
    throw std::invalid_argument("the final SAK must not carry the cascade bit 04");
  }
}

TypeACard::~TypeACard() = default;

CascadeBytes cascadeBytesOf(const std::vector<uint8_t>& uid, size_t level) {
  CascadeBytes bytes{};
  size_t levels = uid.size() / 3;
  bool validSize = uid.size() == 4 || uid.size() == 7 || uid.size() == 10;
  if (!validSize || level == 0 || level > levels) return bytes;
  size_t offset = 3 * (level - 1);
  if (level < levels) {
    bytes = {kCascadeTag, uid[offset], uid[offset + 1], uid[offset + 2]};
  } else {
    bytes = {uid[offset], uid[offset + 1], uid[offset + 2], uid[offset + 3]};
  }
  return bytes;
}

bool TypeACard::onRequest(bool wakeUp) {
  switch (state_) {
    case CardState::Idle:
      enterReady(false);
      return true;
    case CardState::Halt:
      if (!wakeUp) return false;
      enterReady(true);
      return true;
    case CardState::Ready:
    case CardState::Active:
      fallBack();
      return false;
  }
  return false;
}

bool TypeACard::onAnticollision(size_t level) {
  if (state_ == CardState::Ready && level == readyLevel_) return true;
  if (state_ == CardState::Ready || state_ == CardState::Active) fallBack();
  return false;
}

std::optional<uint8_t> TypeACard::onSelect(size_t level, const CascadeBytes& bytes) {
  if (state_ == CardState::Idle || state_ == CardState::Halt) return std::nullopt;
  if (state_ != CardState::Ready || level != readyLevel_ || bytes != cascadeBytes(level)) {
    fallBack();
    return std::nullopt;
  }
  if (level < cascadeLevels()) {
    ++readyLevel_;
    return kSakCascadeBit;
  }
  state_ = CardState::Active;
  return sak_;
}

bool TypeACard::onHalt() {
  if (state_ == CardState::Active) {
    state_ = CardState::Halt;
    readyLevel_ = 1;
    dropSession();
    return true;
  }
  if (state_ == CardState::Ready) fallBack();
  return false;
}

bool TypeACard::onCommandFrame() {
  if (state_ == CardState::Active) return true;
  if (state_ == CardState::Ready) fallBack();
  return false;
}

void TypeACard::onFieldReset() {
  state_ = CardState::Idle;
  wokenFromHalt_ = false;
  readyLevel_ = 1;
  dropSession();
}

CardAnswer TypeACard::authenticate(uint8_t keyType, uint8_t block, const MifareKey& key,
                                   const CascadeBytes& serial) {
  if (state_ != CardState::Active) return CardAnswer::NoAnswer;
  return settle(doAuthenticate(keyType, block, key, serial));
}

CardAnswer TypeACard::read(uint8_t command, uint8_t address, std::vector<uint8_t>& out) {
  if (state_ != CardState::Active) return CardAnswer::NoAnswer;
  return settle(doRead(command, address, out));
}

CardAnswer TypeACard::write(uint8_t command, uint8_t address, std::span<const uint8_t> data) {
  if (state_ != CardState::Active) return CardAnswer::NoAnswer;
  return settle(doWrite(command, address, data));
}

CardAnswer TypeACard::value(uint8_t operation, uint8_t block, uint32_t operand,
                            uint8_t transferBlock) {
  if (state_ != CardState::Active) return CardAnswer::NoAnswer;
  return settle(doValue(operation, block, operand, transferBlock));
}

CardAnswer TypeACard::transceive(std::span<const uint8_t> frame, CardFrame& answer) {
  if (state_ != CardState::Active) return CardAnswer::NoAnswer;
  auto reply = exchange(frame);
  if (!reply) return CardAnswer::NoAnswer;
  answer = std::move(*reply);
  return CardAnswer::Ok;
}

CardAnswer TypeACard::doAuthenticate(uint8_t, uint8_t, const MifareKey&, const CascadeBytes&) {
  return CardAnswer::Rejected;
}
CardAnswer TypeACard::doRead(uint8_t, uint8_t, std::vector<uint8_t>&) {
  return CardAnswer::Rejected;
}
CardAnswer TypeACard::doWrite(uint8_t, uint8_t, std::span<const uint8_t>) {
  return CardAnswer::Rejected;
}
CardAnswer TypeACard::doValue(uint8_t, uint8_t, uint32_t, uint8_t) {
  return CardAnswer::Rejected;
}

std::optional<CardFrame> TypeACard::exchange(std::span<const uint8_t>) {
  // A card without a protocol layer above ISO 14443-3 does not understand the frame: as for
  // any unexpected frame it stays mute and leaves ACTIVE.
  fallBack();
  return std::nullopt;
}

void TypeACard::enterReady(bool fromHalt) {
  state_ = CardState::Ready;
  wokenFromHalt_ = fromHalt;
  readyLevel_ = 1;
}

void TypeACard::fallBack() {
  state_ = wokenFromHalt_ ? CardState::Halt : CardState::Idle;
  readyLevel_ = 1;
  dropSession();
}

CardAnswer TypeACard::settle(CardAnswer answer) {
  if (answer != CardAnswer::Ok) fallBack();
  return answer;
}

}  // namespace norvexsim
