// SPDX-License-Identifier: MIT
#include "desfire/Ev1Handshake.h"

#include <algorithm>

#include "desfire/Ev1Keys.h"

namespace desfire {

namespace {

// A DES or 2K3DES key whose halves are equal is single DES: the card derives the session key as
// for DES (RndA 0-3, RndB 0-3, twice), whatever type the key was given as; unequal halves are
// two-key triple DES.
KeyType DerivationType(KeyType type, const std::vector<uint8_t>& key) {
  if (type != KeyType::Des && type != KeyType::TwoKey3Des) return type;
  const auto half = key.begin() + static_cast<std::ptrdiff_t>(key.size() / 2);
  return std::equal(key.begin(), half, half) ? KeyType::Des : KeyType::TwoKey3Des;
}

}  // namespace

Ev1Handshake::Ev1Handshake(KeyType type, const std::vector<uint8_t>& key)
    : type_(type),
      derivation_(DerivationType(type, key)),
      cipher_(type, key.data()),
      iv_(CipherBlock(type), 0) {}

size_t Ev1Handshake::ChallengeLength() const {
  return type_ == KeyType::Des || type_ == KeyType::TwoKey3Des ? 8 : 16;
}

std::vector<uint8_t> Ev1Handshake::CardChallenge(const std::vector<uint8_t>& encipheredRndB) {
  rndB_ = encipheredRndB;
  cipher_.CbcDecipher(rndB_.data(), rndB_.data(), rndB_.size(), iv_.data());
  return rndB_;
}

std::vector<uint8_t> Ev1Handshake::Token(const std::vector<uint8_t>& rndA) {
  rndA_ = rndA;
  std::vector<uint8_t> token = rndA;
  const std::vector<uint8_t> rotatedB = RotateLeft(rndB_);
  token.insert(token.end(), rotatedB.begin(), rotatedB.end());
  cipher_.CbcEncipher(token.data(), token.data(), token.size(), iv_.data());
  return token;
}

bool Ev1Handshake::CheckCardProof(const std::vector<uint8_t>& proof) {
  if (proof.size() != ChallengeLength()) return false;
  std::vector<uint8_t> rotatedA = proof;
  cipher_.CbcDecipher(rotatedA.data(), rotatedA.data(), rotatedA.size(), iv_.data());
  return rotatedA == RotateLeft(rndA_);
}

std::vector<uint8_t> Ev1Handshake::SessionKeyBytes() const {
  return SessionKey(derivation_, rndA_, rndB_);
}

}  // namespace desfire
