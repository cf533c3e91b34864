// SPDX-License-Identifier: MIT
// Key commands under the EV1 secure channel: ChangeKey with the cryptogram the card checks
// (the new key or its XOR with the old one, the key version for AES, CRC32s) and
// ChangeKeySettings enciphered.

#include "desfire/DesfirePreconditions.h"
#include "desfire/Ev1Exchange.h"
#include "desfire/Ev1Keys.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"

using desfire::Bytes;
using desfire::Comm;
using desfire::Ev1Request;
using desfire::KeyType;

namespace {

constexpr uint8_t kChangeKey = 0xC4, kChangeKeySettings = 0x54;
constexpr uint8_t kKeyNumberMask = 0x0F, k3k3desMasterFlag = 0x40, kAesMasterFlag = 0x80;

// At the PICC level the master key's new type rides in the key number's high bits.
uint8_t KeyNumberByte(uint8_t keyNo, KeyType newType, uint32_t selectedAid) {
  if (selectedAid != 0) return keyNo;
  if (newType == KeyType::ThreeKey3Des) return keyNo | k3k3desMasterFlag;
  if (newType == KeyType::Aes) return keyNo | kAesMasterFlag;
  return keyNo;
}

}  // namespace

extern "C" {

NORVEX_API long DF_ChangeKeyEV1(void* session, uint8_t keyNo, DF_KEY_TYPE newType,
                                const uint8_t* newKey, unsigned newKeyLen, uint8_t keyVersion,
                                const uint8_t* oldKey, unsigned oldKeyLen) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Reader, &record)) return status;
  if (!desfire::ValidKeyType(newType) || keyNo > kKeyNumberMask) return wrong_parameter_value;
  const auto type = static_cast<KeyType>(newType);
  const Bytes key = desfire::StoredKey(type, newKey, newKeyLen);
  if (key.empty()) return wrong_parameter_value;
  desfire::SecureChannel channel(record->channel);
  if (!channel.Active()) return df_no_sesskey;
  const bool sameKey = keyNo == channel.KeyNo();
  Bytes old;
  if (!sameKey) {
    if (oldKey == nullptr || oldKeyLen == 0 || oldKeyLen > key.size()) return wrong_parameter_value;
    old.assign(oldKey, oldKey + oldKeyLen);
    if (oldKeyLen == 8) old.insert(old.end(), oldKey, oldKey + 8);  // a DES key doubled
  }
  const uint8_t keyNoByte = KeyNumberByte(keyNo, type, record->selectedAid);
  Ev1Request request;
  const Bytes cryptogram = channel.Encipher(
      desfire::ChangeKeyPlain(keyNoByte, type, key, keyVersion, sameKey ? nullptr : &old));
  request.command = {kChangeKey, keyNoByte};
  request.command.reserve(2 + cryptogram.size());
  request.command.insert(request.command.end(), cryptogram.begin(), cryptogram.end());
  request.secured = true;
  request.answerUnchecked = sameKey;
  Bytes answer;
  const long status = desfire::Ev1Transceive(session, request, &answer);
  if (sameKey) channel.End();
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_ChangeKeySettingsEV1(void* session, uint8_t settings) try {
  if (long status = desfire::EntryChecks(session)) return status;
  Ev1Request request;
  request.command = {kChangeKeySettings, settings};
  request.plainPart = 1;
  request.send = Comm::Enciphered;
  Bytes answer;
  return desfire::Ev1Transceive(session, request, &answer);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
