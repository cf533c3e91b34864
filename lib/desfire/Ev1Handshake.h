// SPDX-License-Identifier: MIT
#pragma once
// The reader's side of the EV1 authentications (ISO 1A with DES/2K3DES/3K3DES keys, AES AA),
// apart from the exchange. Ciphering is ordinary CBC both ways; the chaining value starts at zero
// once and runs through all three steps: the card's ek(RndB) is deciphered, the reader's token
// E(RndA || rotl RndB) chains on from it, and the card's E(rotl RndA) is deciphered from the
// token's last block.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "desfire/Ev1Cipher.h"

namespace desfire {

class Ev1Handshake {
 public:
  // key in its stored form (StoredKey).
  Ev1Handshake(KeyType type, const std::vector<uint8_t>& key);

  // 8 bytes for DES and 2K3DES, 16 for 3K3DES and AES.
  size_t ChallengeLength() const;
  // Step 1: the card's enciphered challenge (ChallengeLength bytes) deciphered: RndB.
  std::vector<uint8_t> CardChallenge(const std::vector<uint8_t>& encipheredRndB);
  // Step 2: the token the reader sends after AF.
  std::vector<uint8_t> Token(const std::vector<uint8_t>& rndA);
  // Step 3: whether the card's proof deciphers to RndA rotated left by one byte.
  bool CheckCardProof(const std::vector<uint8_t>& proof);
  // The session key of the two challenges (a DES or 2K3DES key of equal halves: as single DES).
  std::vector<uint8_t> SessionKeyBytes() const;

 private:
  KeyType type_;
  KeyType derivation_;  // the session key's pieces: DES for a key of equal halves
  Ev1Cipher cipher_;
  std::vector<uint8_t> iv_, rndA_, rndB_;
};

}  // namespace desfire
