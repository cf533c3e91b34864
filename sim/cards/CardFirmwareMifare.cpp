// SPDX-License-Identifier: MIT
// Mifare memory instructions of the reader firmware: authentication (with a coded key from the
// host or a key from the reader's key store), block and page transfers, value operations.

#include "sim/cards/CardFirmware.h"
#include "sim/cards/CardStatus.h"
#include "sim/cards/CodedKey.h"
#include "sim/cards/MifareClassic.h"

namespace norvexsim {
namespace {

constexpr uint8_t kUltralightWrite = 0xA2;

Reply failure(int8_t status) {
  return Reply{status, {}};
}
Reply badFrame() {
  return failure(cardstatus::kBadFrame);
}
Reply answerOf(CardAnswer answer, std::vector<uint8_t> data = {}) {
  if (answer != CardAnswer::Ok) return failure(cardstatus::of(answer));
  return Reply{cardstatus::kOk, std::move(data)};
}

bool isKeyType(uint8_t keyType) {
  return keyType == kAuthKeyA || keyType == kAuthKeyB;
}

}  // namespace

Reply CardFirmware::authenticateWithKey(ParamReader& p) {
  uint8_t keyType = 0, block = 0;
  CascadeBytes serial{};
  CodedKey coded{};
  if (!p.u8(keyType) || !p.bytes(serial) || !p.bytes(coded) || !p.u8(block) || !p.done()) {
    return badFrame();
  }
  // A key whose bytes are not nibble/complement pairs never leaves the reader.
  auto key = decodeKey(coded);
  if (!key || !isKeyType(keyType)) return badFrame();
  return authenticate(keyType, serial, *key, block);
}

Reply CardFirmware::authenticateStored(ParamReader& p, bool withSerial) {
  uint8_t keyType = 0, slot = 0, block = 0;
  std::optional<CascadeBytes> serial;
  if (!p.u8(keyType)) return badFrame();
  if (withSerial && !p.bytes(serial.emplace())) return badFrame();
  if (!p.u8(slot) || !p.u8(block) || !p.done()) return badFrame();
  auto key = keys_.load(keyType, slot);
  if (!key) return badFrame();
  return authenticate(keyType, serial, *key, block);
}

Reply CardFirmware::loadKey(ParamReader& p) {
  uint8_t keyType = 0, slot = 0;
  MifareKey key{};
  if (!p.u8(keyType) || !p.u8(slot) || !p.bytes(key) || !p.done()) return badFrame();
  if (!keys_.store(keyType, slot, key)) return badFrame();
  return answerOf(CardAnswer::Ok);
}

Reply CardFirmware::authenticate(uint8_t keyType, const std::optional<CascadeBytes>& serial,
                                 const MifareKey& key, uint8_t block) {
  TypeACard* card = air_.commandTarget();
  if (!card) return failure(cardstatus::kNoCard);
  // Without a serial number the firmware uses the one of the card it selected.
  return answerOf(
      card->authenticate(keyType, block, key, serial.value_or(card->authenticationUid())));
}

Reply CardFirmware::readBlock(ParamReader& p) {
  uint8_t block = 0;
  if (!p.u8(block) || !p.done()) return badFrame();
  TypeACard* card = air_.commandTarget();
  if (!card) return failure(cardstatus::kNoCard);
  std::vector<uint8_t> data;
  CardAnswer answer = card->read(kMifareRead, block, data);
  return answerOf(answer, std::move(data));
}

Reply CardFirmware::commonRead(ParamReader& p) {
  // len is the answer length the host expects; the whole answer goes back and the host checks.
  uint8_t command = 0, address = 0, expected = 0;
  if (!p.u8(command) || !p.u8(address) || !p.u8(expected) || !p.done()) return badFrame();
  TypeACard* card = air_.commandTarget();
  if (!card) return failure(cardstatus::kNoCard);
  std::vector<uint8_t> data;
  CardAnswer answer = card->read(command, address, data);
  return answerOf(answer, std::move(data));
}

Reply CardFirmware::writeBlock(ParamReader& p) {
  uint8_t block = 0;
  std::vector<uint8_t> data;
  if (!p.u8(block) || !p.bytes(16, data) || !p.done()) return badFrame();
  return write(kMifareWrite, block, data);
}

Reply CardFirmware::writePage(ParamReader& p) {
  uint8_t page = 0;
  std::vector<uint8_t> data;
  if (!p.u8(page) || !p.bytes(4, data) || !p.done()) return badFrame();
  return write(kUltralightWrite, page, data);
}

Reply CardFirmware::commonWrite(ParamReader& p) {
  uint8_t command = 0, address = 0, length = 0;
  std::vector<uint8_t> data;
  if (!p.u8(command) || !p.u8(address) || !p.u8(length) || !p.bytes(length, data) || !p.done()) {
    return badFrame();
  }
  return write(command, address, data);
}

Reply CardFirmware::write(uint8_t command, uint8_t address, std::span<const uint8_t> data) {
  TypeACard* card = air_.commandTarget();
  if (!card) return failure(cardstatus::kNoCard);
  return answerOf(card->write(command, address, data));
}

Reply CardFirmware::value(ParamReader& p, bool withTransferBlock) {
  uint8_t operation = 0, block = 0;
  uint32_t operand = 0;
  if (!p.u8(operation) || !p.u8(block) || !p.u32(operand)) return badFrame();
  // The debit form transfers the result back into the block it operated on.
  uint8_t transferBlock = block;
  if (withTransferBlock && !p.u8(transferBlock)) return badFrame();
  if (!p.done()) return badFrame();
  TypeACard* card = air_.commandTarget();
  if (!card) return failure(cardstatus::kNoCard);
  return answerOf(card->value(operation, block, operand, transferBlock));
}

}  // namespace norvexsim
