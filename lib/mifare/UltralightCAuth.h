// SPDX-License-Identifier: MIT
#pragma once
// The host's side of the Ultralight C mutual authentication, two-key triple DES in CBC mode with
// the chaining value carried through the whole exchange (zero at the start):
//   tag:  AF ek(RndB)                    (CBC, IV zero)
//   host: AF E(RndA || RndB rotated)     (CBC, IV = ek(RndB))
//   tag:  00 E(RndA rotated)             (CBC, IV = the last block the host sent)
// Rotation is one byte to the left. The key's first 8 bytes are the first DES key, the next 8
// the second; the third is the first again. A cipher failure throws for the export's boundary.

#include <array>
#include <cstdint>

namespace mifu {

using DesBlock = std::array<uint8_t, 8>;
using UltralightCKey = std::array<uint8_t, 16>;
using HostToken = std::array<uint8_t, 16>;

// The host's answer to the tag's challenge ek(RndB) with its own challenge rndA; rndB receives
// the tag's challenge in plain (for the caller's records, the tag keeps its own).
HostToken AnswerChallenge(const UltralightCKey& key, const DesBlock& ekRndB, const DesBlock& rndA,
                          DesBlock* rndB);

// Whether the tag's final answer proves the key: it deciphers, chained from the token's last
// block, to rndA rotated left by one byte.
bool ProofHolds(const UltralightCKey& key, const HostToken& token, const DesBlock& proof,
                const DesBlock& rndA);

}  // namespace mifu
