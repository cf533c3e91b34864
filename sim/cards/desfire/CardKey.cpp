// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/CardKey.h"

#include <algorithm>

namespace norvexsim::desfire {

std::optional<KeyType> keyTypeOf(uint8_t settingsByte) {
  switch (settingsByte & kKeyTypeBits) {
    case 0x00:
      return KeyType::kDes;
    case 0x40:
      return KeyType::k3K3Des;
    case 0x80:
      return KeyType::kAes;
  }
  return std::nullopt;
}

size_t keyLengthOf(KeyType type) {
  return type == KeyType::k3K3Des ? 24 : 16;
}

size_t blockSizeOf(KeyType type) {
  return type == KeyType::kAes ? 16 : 8;
}

Key Key::of(KeyType type, std::span<const uint8_t> value, uint8_t aesVersion) {
  Key key;
  key.type = type;
  std::copy_n(value.begin(), std::min(value.size(), key.length()), key.bytes.begin());
  key.aesVersion = type == KeyType::kAes ? aesVersion : 0;
  return key;
}

uint8_t Key::version() const {
  if (type == KeyType::kAes) return aesVersion;
  uint8_t version = 0;
  for (size_t i = 0; i < 8; ++i) version = static_cast<uint8_t>(version << 1 | (bytes[i] & 1));
  return version;
}

bool Key::singleDes() const {
  return type == KeyType::kDes && std::equal(bytes.begin(), bytes.begin() + 8, bytes.begin() + 8);
}

}  // namespace norvexsim::desfire
