// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/KeyManagement.h"

#include <algorithm>

#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

constexpr size_t kLegacyKeyCryptogram = 24, kLegacySettingsCryptogram = 8;
constexpr uint8_t kKeyNumberBits = 0x3F;

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

// The key number of a ChangeKey and the type of the new key: an application's own; at the PICC
// level the key number's crypto bits (00 DES, 40 three-key triple DES, 80 AES) choose it.
struct KeyTarget {
  uint8_t keyNo = 0;
  KeyType type = KeyType::kDes;
  uint8_t status = status::kOk;
};
KeyTarget targetOf(CardContext& card, uint8_t keyNoByte) {
  const uint8_t keyNo = keyNoByte & kKeyNumberBits;
  if (!card.atPiccLevel()) {
    if (keyNoByte & kKeyTypeBits) return {keyNo, KeyType::kDes, status::kParameterError};
    return {keyNo, card.keys().type(), status::kOk};
  }
  const auto type = keyTypeOf(keyNoByte);
  if (!type) return {keyNo, KeyType::kDes, status::kParameterError};
  return {keyNo, *type, status::kOk};
}

// The EV1 cryptogram: the new key (XOR the old one when another key is changed), for AES its
// version, the CRC32 of the command and all that; for another key also the CRC32 of the new key;
// zero padding.
std::optional<Key> ev1NewKey(Command header, std::span<const uint8_t> plain, const Key& old,
                             KeyType type, bool sameKey) {
  const size_t length = keyLengthOf(type);
  const size_t withVersion = length + (type == KeyType::kAes ? 1 : 0);
  std::vector<uint8_t> covered(header.begin(), header.end());
  covered.insert(covered.end(), plain.begin(), plain.begin() + withVersion);
  if (!crc32Matches(plain, withVersion, covered)) return std::nullopt;
  Key key = Key::of(type, plain.first(length), type == KeyType::kAes ? plain[length] : 0);
  size_t end = withVersion + kCrc32Length;
  if (!sameKey) {
    for (size_t i = 0; i < length; ++i) key.bytes[i] ^= old.bytes[i];
    if (!crc32Matches(plain, end, key.value())) return std::nullopt;
    end += kCrc32Length;
  }
  return zeroFrom(plain, end) ? std::optional(key) : std::nullopt;
}

size_t ev1CryptogramLength(KeyType type, KeyType sessionType, bool sameKey) {
  const size_t plain =
      keyLengthOf(type) + (type == KeyType::kAes ? 1 : 0) + (sameKey ? 0 : kCrc32Length);
  return paddedLength(plain, kCrc32Length, blockSizeOf(sessionType));
}

// The legacy cryptogram: the key and its CRC_A when it is the authenticated key; otherwise the
// new key XOR the old one, the CRC_A of that, and the CRC_A of the new key.
std::optional<Key> legacyNewKey(CardContext& card, Command command, const Key& old, bool sameKey) {
  const auto plain = card.decipherCryptogram(command, 2);
  if (!plain) return std::nullopt;
  Key key = Key::of(KeyType::kDes, std::span(*plain).first(16));
  const auto sent = std::span<const uint8_t>(*plain).first(16);
  if (!card.cryptogramCrcMatches({}, sent, *plain, 16)) return std::nullopt;
  if (sameKey) return key;
  for (size_t i = 0; i < 16; ++i) key.bytes[i] ^= old.bytes[i];
  if (!card.cryptogramCrcMatches({}, key.value(), *plain, 18)) return std::nullopt;
  return key;
}

bool listable(const CardContext& card, const KeySet& keys) {
  return (keys.settings & kFreeDirectoryList) || card.authenticatedWith(0);
}

}  // namespace

Answer changeKey(CardContext& card, Command command) {
  if (command.size() < 2) return {status::kLengthError};
  const CardContext::Authenticated* session = card.authenticated();
  if (!session) return {status::kAuthenticationError};
  KeySet& keys = card.keys();
  const KeyTarget target = targetOf(card, command[1]);
  if (target.status != status::kOk) return {target.status};
  if (target.keyNo >= keys.keys.size()) return {status::kNoSuchKey};
  if (const uint8_t allowed = mayChangeKey(card, keys, target.keyNo); allowed != status::kOk) {
    return {allowed};
  }
  const bool sameKey = session->keyNo == target.keyNo;
  const Key& old = keys.keys[target.keyNo];
  std::optional<Key> key;
  if (session->ev1()) {
    const size_t length = ev1CryptogramLength(target.type, session->sessionKey.type, sameKey);
    if (command.size() != 2 + length) return {status::kLengthError};
    const auto plain = card.decipherCryptogram(command, 2);
    key = ev1NewKey(command.first(2), *plain, old, target.type, sameKey);
  } else {
    if (target.type != KeyType::kDes) return {status::kParameterError};
    if (command.size() != 2 + kLegacyKeyCryptogram) return {status::kLengthError};
    key = legacyNewKey(card, command, old, sameKey);
  }
  if (!key) return {status::kIntegrityError};
  keys.keys[target.keyNo] = *key;
  if (sameKey) card.authentication.clear();  // its session is gone with it
  return {status::kOk};
}

// 54 and the new settings with their CRC, enciphered.
Answer changeKeySettings(CardContext& card, Command command) {
  if (!card.authenticatedWith(0)) return {status::kAuthenticationError};
  KeySet& keys = card.keys();
  if (!(keys.settings & kConfigurationChangeable)) return {status::kPermissionDenied};
  const Session& session = *card.authenticated();
  const size_t length = session.ev1()
                            ? paddedLength(1, kCrc32Length, blockSizeOf(session.sessionKey.type))
                            : kLegacySettingsCryptogram;
  if (command.size() != 1 + length) return {status::kLengthError};
  const auto plain = card.decipherCryptogram(command, 1);
  const auto settings = std::span<const uint8_t>(*plain).first(1);
  if (!card.cryptogramCrcMatches(command.first(1), settings, *plain, 1)) {
    return {status::kIntegrityError};
  }
  keys.settings = settings[0];
  return {status::kOk};
}

// The settings and the number of keys (one at the PICC level) with the keys' cipher in bits 7-6.
Answer getKeySettings(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  const KeySet& keys = card.keys();
  if (!listable(card, keys)) return {status::kAuthenticationError};
  const auto count = static_cast<uint8_t>(keys.keys.size() | static_cast<uint8_t>(keys.type()));
  return {status::kOk, keys.settings, count};
}

Answer getKeyVersion(CardContext& card, Command command) {
  if (command.size() != 2) return {status::kLengthError};
  const KeySet& keys = card.keys();
  if (command[1] >= keys.keys.size()) return {status::kNoSuchKey};
  return {status::kOk, keys.keys[command[1]].version()};
}

}  // namespace norvexsim::desfire
