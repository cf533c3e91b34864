// SPDX-License-Identifier: MIT
// Two Visa Open Platform helpers: the full triple-DES CBC-MAC of secure channel messages and the
// derivation of a card key from derivation data.

#include <algorithm>
#include <array>

#include "desfire/DesCipher.h"
#include "norvexapi.h"

using desfire::DesCipher;
using desfire::kBlockSize;

namespace {

constexpr uint8_t kPaddingMarker = 0x80;  // ISO/IEC 9797-1 padding method 2

}  // namespace

extern "C" {

// The whole blocks of the data, then its rest with 80 and zeros (a whole padding block when the
// data fills its last block).
NORVEX_API uint8_t* VOP_do_mac(uint8_t* icv8, const uint8_t* key16, const uint8_t* data,
                               unsigned len) {
  thread_local std::array<uint8_t, kBlockSize> result{};
  const DesCipher cipher(key16, DesCipher::KeyLength::TwoKey);
  std::array<uint8_t, kBlockSize> chaining{}, block{};
  if (icv8 != nullptr) std::copy_n(icv8, kBlockSize, chaining.begin());
  const size_t whole = desfire::WholeBlocks(len);
  for (size_t offset = 0; offset < whole; offset += kBlockSize) {
    cipher.CbcEncipher(data + offset, block.data(), kBlockSize, chaining.data());
  }
  std::array<uint8_t, kBlockSize> last{};
  std::copy(data + whole, data + len, last.begin());
  last[len - whole] = kPaddingMarker;
  cipher.CbcEncipher(last.data(), block.data(), kBlockSize, chaining.data());
  result = chaining;
  if (icv8 != nullptr) std::copy(chaining.begin(), chaining.end(), icv8);
  return result.data();
}

NORVEX_API void VOP_DeriveKey(uint8_t* key16, const uint8_t* data16) {
  const DesCipher cipher(key16, DesCipher::KeyLength::TwoKey);
  std::array<uint8_t, 2 * kBlockSize> derived{};
  cipher.Encipher(data16, derived.data());
  cipher.Encipher(data16 + kBlockSize, derived.data() + kBlockSize);
  std::copy(derived.begin(), derived.end(), key16);
}

}  // extern "C"
