// SPDX-License-Identifier: MIT
#pragma once
// Native commands wrapped in ISO/IEC 7816-4 APDUs, as PC/SC clients send them: CLA 90, INS the
// command code, P1 = P2 = 00, Lc and the parameters when there are any, Le 00. The answer is the
// native answer's data followed by SW1 91 and SW2 the native status (91 AF: more to fetch with
// INS AF).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace norvexsim::desfire {

constexpr uint8_t kWrappedClass = 0x90;

// The native command inside an APDU of class 90, or the status word that refuses it.
struct Unwrapped {
  std::vector<uint8_t> native;
  std::vector<uint8_t> refusal;  // a status word; empty when native holds the command
};
Unwrapped unwrapNative(std::span<const uint8_t> apdu);
std::vector<uint8_t> wrapNativeAnswer(std::span<const uint8_t> nativeAnswer);

}  // namespace norvexsim::desfire
