// SPDX-License-Identifier: MIT
#pragma once
// The keys of DESFire EV1: the caller's key in the form the card holds it, the session key the
// ISO and AES authentications derive from the two challenges, and the ChangeKey cryptogram's
// plain text.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "desfire/Ev1Cipher.h"

namespace desfire {

// The key as the card holds it: a DES key of 8 bytes doubled to 16; 16 bytes for DES, 2K3DES and
// AES, 24 for 3K3DES as given. Another length gives an empty result.
std::vector<uint8_t> StoredKey(KeyType type, const uint8_t* key, size_t len);

// The challenge rotated left by one byte.
std::vector<uint8_t> RotateLeft(std::vector<uint8_t> challenge);

// The session key from RndA and RndB (8 bytes each for DES and 2K3DES, 16 for 3K3DES and AES):
// AES R0-3 B0-3 R12-15 B12-15; 3K3DES R0-3 B0-3 R6-9 B6-9 R12-15 B12-15; 2K3DES R0-3 B0-3 R4-7
// B4-7; DES R0-3 B0-3 twice.
std::vector<uint8_t> SessionKey(KeyType type, const std::vector<uint8_t>& rndA,
                                const std::vector<uint8_t>& rndB);

// The ChangeKey (C4) plain text before padding. keyNoByte is the key number as sent. For the key
// the channel was opened with (oldKey null): newKey || [AES: version] || CRC32(C4 keyNo newKey
// [version]). For another key: (newKey XOR oldKey) || [version] || CRC32(C4 keyNo that) ||
// CRC32(newKey). Keys are in their stored form; a shorter old key counts as zero-extended.
std::vector<uint8_t> ChangeKeyPlain(uint8_t keyNoByte, KeyType newType,
                                    const std::vector<uint8_t>& newKey, uint8_t version,
                                    const std::vector<uint8_t>* oldKey);

}  // namespace desfire
