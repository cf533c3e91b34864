// SPDX-License-Identifier: MIT
#pragma once
// CMAC (NIST SP 800-38B) under an EV1 cipher: block 16 (AES, Rb 0x87) or 8 (triple DES, Rb 0x1B).
// DESFire EV1 starts the CBC from the session's chaining value instead of zero and keeps the whole
// CMAC as the next chaining value; with a zero IV it is the standard CMAC.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "desfire/Ev1Cipher.h"

namespace desfire {

struct CmacSubkeys {
  std::vector<uint8_t> k1, k2;
};
CmacSubkeys DeriveCmacSubkeys(const Ev1Cipher& cipher);

// The full CMAC (cipher.Block() bytes) of len bytes, CBC started from iv.
std::vector<uint8_t> Cmac(const Ev1Cipher& cipher, const uint8_t* iv, const uint8_t* data,
                          size_t len);

}  // namespace desfire
