// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/LegacyAuthentication.h"

#include <algorithm>

#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

using Challenge = std::array<uint8_t, 8>;
constexpr size_t kHalf = 4;

Challenge rotateLeft(Challenge challenge) {
  std::rotate(challenge.begin(), challenge.begin() + 1, challenge.end());
  return challenge;
}

// RndA[0..3] RndB[0..3] RndA[4..7] RndB[4..7]; a single-DES key (equal halves) takes the first
// halves twice, so the session key is single DES as well.
Key sessionKey(const Key& key, const Challenge& rndA, const Challenge& rndB) {
  const bool singleDes = std::equal(key.begin(), key.begin() + 8, key.begin() + 8);
  const size_t second = singleDes ? 0 : kHalf;
  Key session{};
  std::copy_n(rndA.begin(), kHalf, session.begin());
  std::copy_n(rndB.begin(), kHalf, session.begin() + 4);
  std::copy_n(rndA.begin() + second, kHalf, session.begin() + 8);
  std::copy_n(rndB.begin() + second, kHalf, session.begin() + 12);
  return session;
}

}  // namespace

std::vector<uint8_t> LegacyAuthentication::start(uint8_t keyNo, const Key& key,
                                                 std::mt19937& random) {
  clear();
  Pending pending{keyNo, key, {}};
  for (auto& byte : pending.rndB) byte = static_cast<uint8_t>(random());
  std::vector<uint8_t> answer{status::kAdditionalFrame};
  const auto enciphered = encipherForReader(key, pending.rndB);
  answer.insert(answer.end(), enciphered.begin(), enciphered.end());
  pending_ = pending;
  return answer;
}

std::vector<uint8_t> LegacyAuthentication::finish(std::span<const uint8_t> cryptogram) {
  const Pending pending = *pending_;
  pending_.reset();
  if (cryptogram.size() != 16) return {status::kLengthError};
  const auto plain = recoverFromReader(pending.key, cryptogram);
  Challenge rndA{}, rotatedB{};
  std::copy_n(plain.begin(), 8, rndA.begin());
  std::copy_n(plain.begin() + 8, 8, rotatedB.begin());
  if (rotatedB != rotateLeft(pending.rndB)) return {status::kAuthenticationError};
  authenticated_ = Authenticated{pending.keyNo, sessionKey(pending.key, rndA, pending.rndB)};
  std::vector<uint8_t> answer{status::kOk};
  const auto proof = encipherForReader(pending.key, rotateLeft(rndA));
  answer.insert(answer.end(), proof.begin(), proof.end());
  return answer;
}

void LegacyAuthentication::clear() {
  pending_.reset();
  authenticated_.reset();
}

}  // namespace norvexsim::desfire
