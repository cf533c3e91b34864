// SPDX-License-Identifier: MIT
#pragma once
// The card side of DESFire's legacy three-pass authentication (command 0A): the card enciphers
// its challenge RndB; the reader answers RndA and RndB rotated left by a byte, in its send mode;
// the card checks RndB, answers RndA rotated, and both derive the same session key.

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "sim/cards/desfire/DesfireModel.h"

namespace norvexsim::desfire {

class LegacyAuthentication {
 public:
  struct Authenticated {
    uint8_t keyNo;
    Key sessionKey;
  };

  // First pass: AF and the enciphered RndB.
  std::vector<uint8_t> start(uint8_t keyNo, const Key& key, std::mt19937& random);
  // Second pass with the reader's 16-byte cryptogram: 00 and RndA rotated, enciphered, or an
  // error status. Either way the exchange is over.
  std::vector<uint8_t> finish(std::span<const uint8_t> cryptogram);
  bool inProgress() const { return pending_.has_value(); }
  // Forgets an exchange in progress and a completed authentication.
  void clear();
  const std::optional<Authenticated>& authenticated() const { return authenticated_; }

 private:
  struct Pending {
    uint8_t keyNo;
    Key key;
    std::array<uint8_t, 8> rndB;
  };
  std::optional<Pending> pending_;
  std::optional<Authenticated> authenticated_;
};

}  // namespace norvexsim::desfire
