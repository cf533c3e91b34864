// SPDX-License-Identifier: MIT
#pragma once
// The card side of DESFire's three-pass authentications. The card enciphers its challenge RndB;
// the reader answers RndA and RndB rotated left by a byte; the card checks RndB, answers RndA
// rotated, and both derive the same session key.
//   0A (legacy, DES and two-key triple DES keys): the reader deciphers to send; the card only
//      enciphers, each cryptogram CBC from a zero IV.
//   1A (ISO: DES, two-key and three-key triple DES) and AA (AES): plain CBC, the IV zero once at
//      the start and then chained through the three cryptograms; RndB is one cipher block (two
//      for three-key triple DES). The session starts with a zero IV.

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "sim/cards/desfire/CardKey.h"
#include "sim/cards/desfire/SecureChannel.h"

namespace norvexsim::desfire {

enum class AuthenticationKind : uint8_t { kLegacy = 0x0A, kIso = 0x1A, kAes = 0xAA };

// Whether a key of this type may take part in this authentication.
bool authenticationFits(AuthenticationKind kind, KeyType type);

class Authentication {
 public:
  // First pass: AF and the enciphered RndB. Ends any earlier session.
  std::vector<uint8_t> start(AuthenticationKind kind, uint8_t keyNo, const Key& key,
                             std::mt19937& random);
  // Second pass with the reader's cryptogram: 00 and RndA rotated, enciphered, or an error
  // status. Either way the exchange is over.
  std::vector<uint8_t> finish(std::span<const uint8_t> cryptogram);
  bool inProgress() const { return pending_.has_value(); }
  // Forgets an exchange in progress and the session.
  void clear();
  Session* session() { return session_ ? &*session_ : nullptr; }
  const Session* session() const { return session_ ? &*session_ : nullptr; }
  // The challenges drawn from now on are this RndB, so that published traces replay.
  void fixChallenge(std::vector<uint8_t> rndB) { fixedChallenge_ = std::move(rndB); }

 private:
  struct Pending {
    AuthenticationKind kind;
    uint8_t keyNo;
    Key key;
    std::vector<uint8_t> rndB;
    std::vector<uint8_t> iv;  // EV1: the last cipher block sent
  };
  std::vector<uint8_t> finishLegacy(const Pending& pending, std::span<const uint8_t> cryptogram);
  std::vector<uint8_t> finishEv1(Pending& pending, std::span<const uint8_t> cryptogram);

  std::optional<Pending> pending_;
  std::optional<Session> session_;
  std::vector<uint8_t> fixedChallenge_;
};

// The session key of RndA and RndB for a key of this type.
Key sessionKeyOf(const Key& key, std::span<const uint8_t> rndA, std::span<const uint8_t> rndB);

}  // namespace norvexsim::desfire
