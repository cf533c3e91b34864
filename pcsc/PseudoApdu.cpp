// SPDX-License-Identifier: MIT
#include "pcsc/PseudoApdu.h"

#include <algorithm>

#include "pcsc/CardActivation.h"

namespace norvex::pcsc {

namespace {

constexpr uint8_t kInsGetData = 0xCA, kInsLoadKeys = 0x82, kInsGeneralAuthenticate = 0x86,
                  kInsAuthenticate = 0x88, kInsReadBinary = 0xB0, kInsUpdateBinary = 0xD6;

// Status words of PC/SC Part 3.
constexpr uint16_t kOk = 0x9000, kEndOfData = 0x6282, kNoInformation = 0x6300,
                   kWrongLength = 0x6700, kSecurityNotSatisfied = 0x6982,
                   kReaderKeyNotSupported = 0x6983, kSecuredTransmissionNotSupported = 0x6985,
                   kKeyTypeNotKnown = 0x6986, kNonVolatileNotAvailable = 0x6987,
                   kKeyNumberNotValid = 0x6988, kKeyLengthNotCorrect = 0x6989,
                   kFunctionNotSupported = 0x6A81, kWrongParameter = 0x6B00, kWrongLe = 0x6C00;

constexpr uint8_t kLoadKeysReaderKey = 0x80, kLoadKeysSecured = 0x40, kLoadKeysNonVolatile = 0x20;
constexpr uint8_t kAuthenticateVersion = 0x01;
constexpr size_t kClassicBlockSize = 16, kUltralightPageSize = 4, kUltralightReadSize = 16;
constexpr unsigned kUltralightLastPage = 0xFF;

std::vector<uint8_t> status(uint16_t sw) {
  return {static_cast<uint8_t>(sw >> 8), static_cast<uint8_t>(sw)};
}

std::vector<uint8_t> withStatus(std::span<const uint8_t> data, uint16_t sw) {
  std::vector<uint8_t> answer(data.begin(), data.end());
  answer.push_back(static_cast<uint8_t>(sw >> 8));
  answer.push_back(static_cast<uint8_t>(sw));
  return answer;
}

// Data of a fixed size answered to Le: Le 00 (256) or the size itself take it all, a smaller Le
// the first bytes, a larger one is refused with the right length.
std::vector<uint8_t> fitToLe(std::span<const uint8_t> data, unsigned le) {
  if (le == 256 || le == data.size()) return withStatus(data, kOk);
  if (le > data.size()) return status(static_cast<uint16_t>(kWrongLe | data.size()));
  return withStatus(data.first(le), kOk);
}

}  // namespace

std::optional<std::vector<uint8_t>> PseudoApdu::run(std::span<const uint8_t> apdu) {
  const auto command = parseCommandApdu(apdu);
  auto answer = command ? dispatch(*command) : status(kWrongLength);
  if (cardLost_) return std::nullopt;
  return answer;
}

PseudoApdu::Answer PseudoApdu::dispatch(const CommandApdu& c) {
  const bool storage = !speaksIso14443_4(card_.kind);
  switch (c.ins) {
    case kInsGetData:
      return getData(c);
    case kInsLoadKeys:
      return loadKeys(c);
    case kInsGeneralAuthenticate:
      return storage ? generalAuthenticate(c) : status(kFunctionNotSupported);
    case kInsAuthenticate:  // the older form: block in P1-P2, key type and number as data
      if (!storage) return status(kFunctionNotSupported);
      if (c.data.size() != 2 || c.le) return status(kWrongLength);
      return authenticate(static_cast<unsigned>(c.p1 << 8 | c.p2), c.data[0], c.data[1]);
    case kInsReadBinary:
      return storage ? readBinary(c) : status(kFunctionNotSupported);
    case kInsUpdateBinary:
      return storage ? updateBinary(c) : status(kFunctionNotSupported);
    default:
      return status(kFunctionNotSupported);
  }
}

PseudoApdu::Answer PseudoApdu::getData(const CommandApdu& c) const {
  if (!c.le || !c.data.empty()) return status(kWrongLength);
  if (c.p2 != 0) return status(kWrongParameter);
  std::span<const uint8_t> value;
  if (c.p1 == 0x00) {
    value = card_.uid;
  } else if (c.p1 == 0x01) {
    if (card_.kind != CardKind::Iso14443_4 || card_.atsInfo.historicalBytes.empty())
      return status(kFunctionNotSupported);
    value = card_.atsInfo.historicalBytes;
  } else {
    return status(kWrongParameter);
  }
  const unsigned le = *c.le;
  if (le == 256 || le == value.size()) return withStatus(value, kOk);
  if (le < value.size()) return status(static_cast<uint16_t>(kWrongLe | value.size()));
  return withStatus(value, kEndOfData);
}

PseudoApdu::Answer PseudoApdu::loadKeys(const CommandApdu& c) {
  if (c.le) return status(kWrongLength);
  if (c.p1 & kLoadKeysReaderKey) return status(kReaderKeyNotSupported);
  if (c.p1 & kLoadKeysSecured) return status(kSecuredTransmissionNotSupported);
  if (c.p1 & kLoadKeysNonVolatile) return status(kNonVolatileNotAvailable);
  if (c.p2 >= keys_.size()) return status(kKeyNumberNotValid);
  if (c.data.size() != 6) return status(kKeyLengthNotCorrect);
  std::array<uint8_t, 6> key{};
  std::copy(c.data.begin(), c.data.end(), key.begin());
  keys_[c.p2] = key;
  return status(kOk);
}

// Data: version 01, block number MSB and LSB, key type (60 key A, 61 key B), key number.
PseudoApdu::Answer PseudoApdu::generalAuthenticate(const CommandApdu& c) {
  if (c.data.size() != 5 || c.le) return status(kWrongLength);
  if (c.p1 != 0 || c.p2 != 0) return status(kWrongParameter);
  if (c.data[0] != kAuthenticateVersion) return status(kFunctionNotSupported);
  return authenticate(static_cast<unsigned>(c.data[1] << 8 | c.data[2]), c.data[3], c.data[4]);
}

PseudoApdu::Answer PseudoApdu::authenticate(unsigned block, uint8_t keyType, uint8_t keyNumber) {
  if (!isMifareClassic(card_.kind)) return status(kFunctionNotSupported);
  if (keyType != MIF_KEY_TYPE_A && keyType != MIF_KEY_TYPE_B) return status(kKeyTypeNotKnown);
  if (keyNumber >= keys_.size() || !keys_[keyNumber]) return status(kKeyNumberNotValid);
  if (block >= classicBlockCount(card_.kind)) return status(kWrongParameter);
  ClassicAuthentication authentication{classicSectorOf(block), {keyType, {}}};
  std::copy(keys_[keyNumber]->begin(), keys_[keyNumber]->end(), authentication.key.KeyValue);
  card_.authentication.reset();
  if (MifC_AuthBlock(session_, &authentication.key, authenticationUid(),
                     static_cast<uint8_t>(block)) != NORVEX_OK)
    return cardFailure();
  card_.authentication = authentication;
  return status(kOk);
}

PseudoApdu::Answer PseudoApdu::readBinary(const CommandApdu& c) {
  if (!c.le || !c.data.empty()) return status(kWrongLength);
  const unsigned address = static_cast<unsigned>(c.p1 << 8 | c.p2);
  uint8_t data[kUltralightReadSize] = {};
  if (isMifareClassic(card_.kind)) {
    if (address >= classicBlockCount(card_.kind)) return status(kWrongParameter);
    const auto& authentication = card_.authentication;
    if (!authentication || authentication->sector != classicSectorOf(address))
      return status(kSecurityNotSatisfied);
    if (*c.le != 256 && *c.le > kClassicBlockSize)
      return status(static_cast<uint16_t>(kWrongLe | kClassicBlockSize));
    if (MifC_ReadBlockAuth(session_, &authentication->key, authenticationUid(),
                           static_cast<uint8_t>(address), data) != NORVEX_OK)
      return cardFailure();
    return fitToLe(std::span(data, kClassicBlockSize), *c.le);
  }
  if (card_.kind == CardKind::Ultralight) {
    if (address > kUltralightLastPage) return status(kWrongParameter);
    if (*c.le != 256 && *c.le > kUltralightReadSize)
      return status(static_cast<uint16_t>(kWrongLe | kUltralightReadSize));
    // READ answers four pages from the one addressed.
    if (MifU_Read16Bytes(session_, static_cast<uint8_t>(address), data) != NORVEX_OK)
      return cardFailure();
    return fitToLe(std::span(data, kUltralightReadSize), *c.le);
  }
  return status(kFunctionNotSupported);
}

PseudoApdu::Answer PseudoApdu::updateBinary(const CommandApdu& c) {
  if (c.le) return status(kWrongLength);
  const unsigned address = static_cast<unsigned>(c.p1 << 8 | c.p2);
  if (isMifareClassic(card_.kind)) {
    if (c.data.size() != kClassicBlockSize) return status(kWrongLength);
    if (address >= classicBlockCount(card_.kind)) return status(kWrongParameter);
    const auto& authentication = card_.authentication;
    if (!authentication || authentication->sector != classicSectorOf(address))
      return status(kSecurityNotSatisfied);
    if (MifC_WriteBlockAuth(session_, &authentication->key, authenticationUid(),
                            static_cast<uint8_t>(address), c.data.data()) != NORVEX_OK)
      return cardFailure();
    return status(kOk);
  }
  if (card_.kind == CardKind::Ultralight) {
    if (c.data.size() != kUltralightPageSize) return status(kWrongLength);
    if (address > kUltralightLastPage) return status(kWrongParameter);
    if (MifU_WritePage(session_, static_cast<uint8_t>(address), c.data.data()) != NORVEX_OK)
      return cardFailure();
    return status(kOk);
  }
  return status(kFunctionNotSupported);
}

PseudoApdu::Answer PseudoApdu::cardFailure() {
  const auto again = selectCard(session_);
  if (!again || !sameCard(*again, card_)) {
    cardLost_ = true;
    return {};
  }
  return status(kNoInformation);
}

const uint8_t* PseudoApdu::authenticationUid() const {
  return card_.uid.data() + (card_.uid.size() > 4 ? card_.uid.size() - 4 : 0);
}

}  // namespace norvex::pcsc
