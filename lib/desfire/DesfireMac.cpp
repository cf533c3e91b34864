// SPDX-License-Identifier: MIT
// The 4-byte MAC of DESFire's legacy secure messaging: CBC encipherment with zero IV of the data
// padded with zeros up to the next multiple of 8, as the card computes it (data whose length is
// already a multiple of 8 gets no padding block).

#include <algorithm>
#include <array>

#include "desfire/DesCipher.h"
#include "norvexapi.h"

using desfire::kBlockSize;

namespace {

constexpr unsigned kMacLength = 4;

}  // namespace

extern "C" {

// CBC over the whole blocks in place, then over the zero-padded rest (or one zero block for no
// data), without copying the data.
NORVEX_API void CalculateMAC(const uint8_t* data, unsigned len, _tag_mac_data* mac,
                             const tag_des_key* key) {
  const desfire::DesCipher cipher(reinterpret_cast<const uint8_t*>(key),
                                  desfire::DesCipher::KeyLength::TwoKey);
  std::array<uint8_t, kBlockSize> chaining{}, block{};
  const size_t whole = desfire::WholeBlocks(len);
  for (size_t offset = 0; offset < whole; offset += kBlockSize) {
    cipher.CbcEncipher(data + offset, block.data(), kBlockSize, chaining.data());
  }
  if (whole < len || len == 0) {
    std::array<uint8_t, kBlockSize> last{};
    std::copy(data + whole, data + len, last.begin());
    cipher.CbcEncipher(last.data(), block.data(), kBlockSize, chaining.data());
  }
  std::copy_n(chaining.begin(), kMacLength, mac->mac);
}

NORVEX_API int VerifyMAC(const uint8_t* data, unsigned len, const tag_des_key* key) {
  if (len < kMacLength) return 0;
  const unsigned plainLen = len - kMacLength;
  _tag_mac_data mac{};
  CalculateMAC(data, plainLen, &mac, key);
  return std::equal(mac.mac, mac.mac + kMacLength, data + plainLen) ? 1 : 0;
}

}  // extern "C"
