// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/KeyManagement.h"

#include <algorithm>

#include "sim/cards/CrcA.h"
#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

constexpr size_t kKeyCryptogram = 24, kSettingsCryptogram = 8;

bool crcAt(std::span<const uint8_t> plain, size_t at, std::span<const uint8_t> over) {
  const auto crc = crcA(over);
  return plain[at] == crc[0] && plain[at + 1] == crc[1];
}

// Who may change key keyNo: the master key of the level when its settings allow it; the other
// keys of an application as the high nibble of its settings says (a key, the key itself, or
// nobody).
uint8_t mayChangeKey(const CardContext& card, const KeySet& keys, uint8_t keyNo) {
  const uint8_t holder = keys.settings >> 4;
  uint8_t needed = 0;
  if (keyNo == 0) {
    if (!(keys.settings & kMasterKeyChangeable)) return status::kPermissionDenied;
  } else if (holder == kKeysFrozen) {
    return status::kPermissionDenied;
  } else {
    needed = holder == kChangeWithSameKey ? keyNo : holder;
  }
  return card.authenticatedWith(needed) ? status::kOk : status::kAuthenticationError;
}

// The new key out of the cryptogram: the key and its CRC when it is the authenticated key;
// otherwise the new key XOR the old one, the CRC of that, and the CRC of the new key.
std::optional<Key> newKeyOf(std::span<const uint8_t> plain, const Key& old, bool sameKey) {
  Key key{};
  std::copy_n(plain.begin(), key.size(), key.begin());
  const auto sent = plain.first(key.size());
  if (sameKey) return crcAt(plain, key.size(), sent) ? std::optional(key) : std::nullopt;
  if (!crcAt(plain, key.size(), sent)) return std::nullopt;
  for (size_t i = 0; i < key.size(); ++i) key[i] ^= old[i];
  if (!crcAt(plain, key.size() + 2, key)) return std::nullopt;
  return key;
}

bool listable(const CardContext& card, const KeySet& keys) {
  return (keys.settings & kFreeDirectoryList) || card.authenticatedWith(0);
}

}  // namespace

Answer changeKey(CardContext& card, Command command) {
  if (command.size() != 2 + kKeyCryptogram) return {status::kLengthError};
  const CardContext::Authenticated* session = card.authenticated();
  if (!session) return {status::kAuthenticationError};
  KeySet& keys = card.keys();
  const uint8_t keyNo = command[1];
  if (keyNo >= keys.keys.size()) return {status::kNoSuchKey};
  if (const uint8_t allowed = mayChangeKey(card, keys, keyNo); allowed != status::kOk) {
    return {allowed};
  }
  const bool sameKey = session->keyNo == keyNo;
  const auto plain = recoverFromReader(session->sessionKey, command.subspan(2));
  const auto key = newKeyOf(plain, keys.keys[keyNo], sameKey);
  if (!key) return {status::kIntegrityError};
  keys.keys[keyNo] = *key;
  if (sameKey) card.authentication.clear();  // its session is gone with it
  return {status::kOk};
}

Answer changeKeySettings(CardContext& card, Command command) {
  if (command.size() != 1 + kSettingsCryptogram) return {status::kLengthError};
  if (!card.authenticatedWith(0)) return {status::kAuthenticationError};
  KeySet& keys = card.keys();
  if (!(keys.settings & kConfigurationChangeable)) return {status::kPermissionDenied};
  const auto plain = recoverFromReader(card.authenticated()->sessionKey, command.subspan(1));
  if (!crcAt(plain, 1, std::span(plain).first(1))) return {status::kIntegrityError};
  keys.settings = plain[0];
  return {status::kOk};
}

// The settings and the number of keys (one at the PICC level).
Answer getKeySettings(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  const KeySet& keys = card.keys();
  if (!listable(card, keys)) return {status::kAuthenticationError};
  return {status::kOk, keys.settings, static_cast<uint8_t>(keys.keys.size())};
}

Answer getKeyVersion(CardContext& card, Command command) {
  if (command.size() != 2) return {status::kLengthError};
  const KeySet& keys = card.keys();
  if (command[1] >= keys.keys.size()) return {status::kNoSuchKey};
  return {status::kOk, keyVersion(keys.keys[command[1]])};
}

}  // namespace norvexsim::desfire
