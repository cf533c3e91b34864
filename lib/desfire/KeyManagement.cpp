// SPDX-License-Identifier: MIT
// DESFire key commands: changing a key (the current one or another) and the key settings, each
// as a cryptogram under the session key, and reading key settings and key versions.

#include <initializer_list>

#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::Bytes;
using desfire::EntryChecks;

namespace {

constexpr uint8_t kChangeKey = 0xC4, kGetKeySettings = 0x45, kChangeKeySettings = 0x54,
                  kGetKeyVersion = 0x64;
constexpr size_t kKeyLength = 16, kKeyCryptogram = 24, kSettingsCryptogram = 8;

long SendChangeKey(void* session, uint8_t keyNo, const Bytes& plain,
                   const tag_des_key& sessionKey) {
  Bytes command{kChangeKey, keyNo};
  desfire::AppendCryptogram(command, plain, kKeyCryptogram, sessionKey);
  return desfire::SendStatusOnly(session, command);
}

// The checks before a key cryptogram is built: the session, then the keys.
long KeyChangeChecks(void* session, const tag_des_key* sessionKey,
                     std::initializer_list<const uint8_t*> keys) {
  if (long status = EntryChecks(session)) return status;
  for (const uint8_t* key : keys)
    if (key == nullptr) return wrong_parameter_value;
  return sessionKey == nullptr ? df_no_sesskey : 0;
}

}  // namespace

extern "C" {

// newKey || CRC(newKey), padded: the card checks it under the key it is about to replace.
NORVEX_API long DF_ChangeCurKey(void* session, uint8_t keyNo, const uint8_t* newKey,
                                const tag_des_key* sessionKey) try {
  if (long status = KeyChangeChecks(session, sessionKey, {newKey})) return status;
  return SendChangeKey(session, keyNo, desfire::WithCrc(Bytes(newKey, newKey + kKeyLength)),
                       *sessionKey);
} catch (...) {
  return StatusOfCurrentException();
}

// (old XOR new) || CRC(old XOR new) || CRC(new), padded: the card recovers the new key with the
// old one it holds and checks both CRCs.
NORVEX_API long DF_ChangeKey(void* session, uint8_t keyNo, const uint8_t* keyA, const uint8_t* keyB,
                             const tag_des_key* sessionKey) try {
  if (long status = KeyChangeChecks(session, sessionKey, {keyA, keyB})) return status;
  Bytes difference(kKeyLength);
  BigXOR(keyA, keyB, difference.data(), kKeyLength);
  Bytes plain = desfire::WithCrc(difference);
  const auto newKeyCrc = desfire::CrcA(keyB, kKeyLength);
  plain.insert(plain.end(), newKeyCrc.begin(), newKeyCrc.end());
  return SendChangeKey(session, keyNo, plain, *sessionKey);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetKeySettings(void* session, uint8_t* settings, uint8_t* maxKeys) try {
  if (long status = EntryChecks(session)) return status;
  if (settings == nullptr || maxKeys == nullptr) return wrong_parameter_value;
  Bytes answer;
  if (long status = desfire::Query(session, Bytes{kGetKeySettings}, &answer)) return status;
  if (answer.size() != 2) return rd_resp_truncated;
  *settings = answer[0];
  *maxKeys = answer[1];
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_ChangeKeySettings(void* session, uint8_t settings,
                                     const tag_des_key* sessionKey) try {
  if (long status = KeyChangeChecks(session, sessionKey, {})) return status;
  Bytes command{kChangeKeySettings};
  desfire::AppendCryptogram(command, desfire::WithCrc(Bytes{settings}), kSettingsCryptogram,
                            *sessionKey);
  return desfire::SendStatusOnly(session, command);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetKeyVersion(void* session, uint8_t keyNo, uint8_t* version) try {
  if (long status = EntryChecks(session)) return status;
  if (version == nullptr) return wrong_parameter_value;
  Bytes answer;
  if (long status = desfire::Query(session, Bytes{kGetKeyVersion, keyNo}, &answer)) return status;
  if (answer.size() != 1) return rd_resp_truncated;
  *version = answer[0];
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
