// SPDX-License-Identifier: MIT
#pragma once
// The originality signature an Ultralight EV1 or NTAG21x carries from the factory: ECDSA on the
// curve secp128r1 over the 7-byte UID taken directly as the number signed (no hash), stored as
// r || s, 16 bytes each. The simulated tags sign with a test key pair instead of the maker's:
//   private key 4E6F727665782D73696D2D7465737431 ("Norvex-sim-test1")
//   public key  04 5A5EFCD05BDD8EBFC639CE7F8B04D236 5AF6B02B8B4D4733819256778BE3414D

#include <array>
#include <cstdint>
#include <span>

namespace norvexsim {

using Signature = std::array<uint8_t, 32>;
using SigningKey = std::array<uint8_t, 16>;

inline constexpr SigningKey kTestSigningKey = {0x4E, 0x6F, 0x72, 0x76, 0x65, 0x78, 0x2D, 0x73,
                                               0x69, 0x6D, 0x2D, 0x74, 0x65, 0x73, 0x74, 0x31};

// The signature of uid under privateKey (big-endian, below the curve's order). Throws
// std::invalid_argument for a key out of range, std::runtime_error when OpenSSL fails.
Signature signUid(std::span<const uint8_t> uid, const SigningKey& privateKey);

}  // namespace norvexsim
