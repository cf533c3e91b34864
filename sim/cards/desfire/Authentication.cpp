// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/Authentication.h"

#include <algorithm>

#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes rotateLeft(Bytes bytes) {
  std::rotate(bytes.begin(), bytes.begin() + 1, bytes.end());
  return bytes;
}

size_t challengeLength(AuthenticationKind kind, KeyType type) {
  if (kind == AuthenticationKind::kLegacy) return 8;
  return type == KeyType::kDes ? 8 : 16;
}

Bytes withStatus(uint8_t status, const Bytes& data) {
  Bytes answer(1 + data.size(), status);
  std::copy(data.begin(), data.end(), answer.begin() + 1);
  return answer;
}

}  // namespace

bool authenticationFits(AuthenticationKind kind, KeyType type) {
  switch (kind) {
    case AuthenticationKind::kLegacy:
      return type == KeyType::kDes;
    case AuthenticationKind::kIso:
      return type != KeyType::kAes;
    case AuthenticationKind::kAes:
      return type == KeyType::kAes;
  }
  return false;
}

// Four bytes of RndA, four of RndB, in turn from the offsets the key type takes them at:
// AES 0 and 12; three-key triple DES 0, 6 and 12; two-key triple DES 0 and 4; single DES 0 twice.
Key sessionKeyOf(const Key& key, std::span<const uint8_t> rndA, std::span<const uint8_t> rndB) {
  std::vector<size_t> offsets{0, 4};
  if (key.type == KeyType::kAes) offsets = {0, 12};
  if (key.type == KeyType::k3K3Des) offsets = {0, 6, 12};
  if (key.singleDes()) offsets = {0, 0};
  Bytes bytes;
  for (size_t offset : offsets) {
    bytes.insert(bytes.end(), rndA.begin() + offset, rndA.begin() + offset + 4);
    bytes.insert(bytes.end(), rndB.begin() + offset, rndB.begin() + offset + 4);
  }
  return Key::of(key.type, bytes);
}

Bytes Authentication::start(AuthenticationKind kind, uint8_t keyNo, const Key& key,
                            std::mt19937& random) {
  clear();
  Pending pending{kind, keyNo, key, Bytes(challengeLength(kind, key.type)), {}};
  if (fixedChallenge_.size() == pending.rndB.size()) {
    pending.rndB = fixedChallenge_;
  } else {
    for (auto& byte : pending.rndB) byte = static_cast<uint8_t>(random());
  }
  Bytes enciphered;
  if (kind == AuthenticationKind::kLegacy) {
    enciphered = encipherForReader(key, pending.rndB);
  } else {
    const BlockCipher cipher(key);
    pending.iv.assign(cipher.blockSize(), 0);
    enciphered = cipher.cbcEncipher(pending.rndB, pending.iv);
  }
  pending_ = std::move(pending);
  return withStatus(status::kAdditionalFrame, enciphered);
}

Bytes Authentication::finish(std::span<const uint8_t> cryptogram) {
  Pending pending = std::move(*pending_);
  pending_.reset();
  if (cryptogram.size() != 2 * pending.rndB.size()) return {status::kLengthError};
  return pending.kind == AuthenticationKind::kLegacy ? finishLegacy(pending, cryptogram)
                                                     : finishEv1(pending, cryptogram);
}

Bytes Authentication::finishLegacy(const Pending& pending, std::span<const uint8_t> cryptogram) {
  const Bytes plain = recoverFromReader(pending.key, cryptogram);
  const Bytes rndA(plain.begin(), plain.begin() + 8), rotatedB(plain.begin() + 8, plain.end());
  if (rotatedB != rotateLeft(pending.rndB)) return {status::kAuthenticationError};
  session_ = Session{};
  session_->keyNo = pending.keyNo;
  session_->sessionKey = sessionKeyOf(pending.key, rndA, pending.rndB);
  return withStatus(status::kOk, encipherForReader(pending.key, rotateLeft(rndA)));
}

Bytes Authentication::finishEv1(Pending& pending, std::span<const uint8_t> cryptogram) {
  const BlockCipher cipher(pending.key);
  const Bytes plain = cipher.cbcDecipher(cryptogram, pending.iv);
  const size_t half = pending.rndB.size();
  const Bytes rndA(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(half));
  const Bytes rotatedB(plain.begin() + static_cast<std::ptrdiff_t>(half), plain.end());
  if (rotatedB != rotateLeft(pending.rndB)) return {status::kAuthenticationError};
  const Bytes proof = cipher.cbcEncipher(rotateLeft(rndA), pending.iv);
  session_ = Session{};
  session_->mode = Session::Mode::kEv1;
  session_->keyNo = pending.keyNo;
  session_->sessionKey = sessionKeyOf(pending.key, rndA, pending.rndB);
  session_->iv.assign(cipher.blockSize(), 0);
  return withStatus(status::kOk, proof);
}

void Authentication::clear() {
  pending_.reset();
  session_.reset();
}

}  // namespace norvexsim::desfire
