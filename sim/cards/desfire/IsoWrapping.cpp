// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/IsoWrapping.h"

namespace norvexsim::desfire {
namespace {

const std::vector<uint8_t> kWrongLength{0x67, 0x00}, kWrongParameters{0x6A, 0x86};
constexpr uint8_t kNativeStatusWord = 0x91;
constexpr size_t kHeader = 4;  // CLA INS P1 P2

}  // namespace

// Cases 1 (header only), 2 (Le), 3 (Lc, data) and 4 (Lc, data, Le) with short lengths.
Unwrapped unwrapNative(std::span<const uint8_t> apdu) {
  if (apdu.size() < kHeader) return {{}, kWrongLength};
  if (apdu[2] != 0 || apdu[3] != 0) return {{}, kWrongParameters};
  std::vector<uint8_t> native{apdu[1]};
  if (apdu.size() <= kHeader + 1) return {native, {}};
  const size_t lc = apdu[kHeader];
  const size_t withoutLe = kHeader + 1 + lc;
  if (lc == 0 || (apdu.size() != withoutLe && apdu.size() != withoutLe + 1)) {
    return {{}, kWrongLength};
  }
  native.insert(native.end(), apdu.begin() + kHeader + 1, apdu.begin() + withoutLe);
  return {native, {}};
}

std::vector<uint8_t> wrapNativeAnswer(std::span<const uint8_t> nativeAnswer) {
  std::vector<uint8_t> answer(nativeAnswer.begin() + 1, nativeAnswer.end());
  answer.push_back(kNativeStatusWord);
  answer.push_back(nativeAnswer[0]);
  return answer;
}

}  // namespace norvexsim::desfire
