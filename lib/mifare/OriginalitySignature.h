// SPDX-License-Identifier: MIT
#pragma once
// The originality signature of Ultralight EV1 and NTAG21x chips: ECDSA on the curve secp128r1
// over the UID, whose bytes are taken directly as the number signed (no hash), given as r || s
// (16 bytes each, big-endian).

#include <cstdint>
#include <optional>
#include <span>

namespace mifu {

constexpr size_t kSignatureLength = 32;

// True when signature holds for uid under publicKey (an encoded point of the curve, 04 || X || Y
// or compressed), false when it does not; std::nullopt when publicKey is no point of the curve.
// Throws std::bad_alloc when OpenSSL runs out of memory.
std::optional<bool> VerifyOriginality(std::span<const uint8_t> uid,
                                      std::span<const uint8_t, kSignatureLength> signature,
                                      std::span<const uint8_t> publicKey);

}  // namespace mifu
