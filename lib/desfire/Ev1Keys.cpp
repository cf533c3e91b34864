// SPDX-License-Identifier: MIT
#include "desfire/Ev1Keys.h"

#include <algorithm>

#include "desfire/Crc32.h"

namespace desfire {
namespace {

constexpr uint8_t kChangeKey = 0xC4;
constexpr size_t kSingleDesKey = 8, kQuarter = 4;

// The offsets in RndA and RndB of the 4-byte pieces that make the session key.
std::vector<size_t> PieceOffsets(KeyType type) {
  switch (type) {
    case KeyType::Aes:
      return {0, 12};
    case KeyType::ThreeKey3Des:
      return {0, 6, 12};
    case KeyType::TwoKey3Des:
      return {0, 4};
    case KeyType::Des:
      break;
  }
  return {0, 0};
}

}  // namespace

std::vector<uint8_t> StoredKey(KeyType type, const uint8_t* key, size_t len) {
  if (key == nullptr) return {};
  if (type == KeyType::Des && len == kSingleDesKey) {
    std::vector<uint8_t> doubled(key, key + kSingleDesKey);
    doubled.insert(doubled.end(), key, key + kSingleDesKey);
    return doubled;
  }
  if (len != StoredKeyLength(type)) return {};
  return std::vector<uint8_t>(key, key + len);
}

std::vector<uint8_t> RotateLeft(std::vector<uint8_t> challenge) {
  if (!challenge.empty()) std::rotate(challenge.begin(), challenge.begin() + 1, challenge.end());
  return challenge;
}

std::vector<uint8_t> SessionKey(KeyType type, const std::vector<uint8_t>& rndA,
                                const std::vector<uint8_t>& rndB) {
  std::vector<uint8_t> key;
  for (size_t offset : PieceOffsets(type)) {
    key.insert(key.end(), rndA.begin() + offset, rndA.begin() + offset + kQuarter);
    key.insert(key.end(), rndB.begin() + offset, rndB.begin() + offset + kQuarter);
  }
  return key;
}

std::vector<uint8_t> ChangeKeyPlain(uint8_t keyNoByte, KeyType newType,
                                    const std::vector<uint8_t>& newKey, uint8_t version,
                                    const std::vector<uint8_t>* oldKey) {
  std::vector<uint8_t> plain = newKey;
  if (oldKey != nullptr) {
    for (size_t i = 0; i < plain.size() && i < oldKey->size(); ++i) plain[i] ^= (*oldKey)[i];
  }
  if (newType == KeyType::Aes) plain.push_back(version);
  const uint8_t head[2] = {kChangeKey, keyNoByte};
  AppendCrc32(plain, Crc32(plain.data(), plain.size(), Crc32(head, sizeof head)));
  if (oldKey != nullptr) AppendCrc32(plain, Crc32(newKey.data(), newKey.size()));
  return plain;
}

}  // namespace desfire
