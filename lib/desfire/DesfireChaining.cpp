// SPDX-License-Identifier: MIT
// DESFire's chaining of 8-byte blocks with zero IV. The reader only ever deciphers what it sends
// in its legacy cryptograms ("send mode": the card enciphers to undo it), and deciphers what it
// receives with ordinary CBC. Each block is ciphered on its own; the chaining is the XOR here,
// so input and output may share a buffer.

#include <algorithm>
#include <array>

#include "desfire/DesCipher.h"
#include "norvexapi.h"

using desfire::DesCipher;
using desfire::kBlockSize;

extern "C" {

NORVEX_API void DESFireCBCSend(const uint8_t* key, const uint8_t* in, uint8_t* out, unsigned len,
                               uint8_t mode) {
  const DesCipher cipher(key, DesCipher::KeyLength::TwoKey);
  std::array<uint8_t, kBlockSize> previous{}, block{};
  for (size_t offset = 0; offset < desfire::WholeBlocks(len); offset += kBlockSize) {
    BigXOR(in + offset, previous.data(), block.data(), kBlockSize);
    if (mode == 0) {
      cipher.Decipher(block.data(), out + offset);
    } else {
      cipher.Encipher(block.data(), out + offset);
    }
    std::copy_n(out + offset, kBlockSize, previous.begin());
  }
}

NORVEX_API void DESFireCBCRecv(const uint8_t* key, const uint8_t* in, uint8_t* out, unsigned len,
                               uint8_t mode) {
  const DesCipher cipher(key, DesCipher::KeyLength::TwoKey);
  std::array<uint8_t, kBlockSize> previous{}, current{}, block{};
  for (size_t offset = 0; offset < desfire::WholeBlocks(len); offset += kBlockSize) {
    std::copy_n(in + offset, kBlockSize, current.begin());  // before out overwrites it
    if (mode == 0) {
      cipher.Decipher(current.data(), block.data());
    } else {
      cipher.Encipher(current.data(), block.data());
    }
    BigXOR(block.data(), previous.data(), out + offset, kBlockSize);
    previous = current;
  }
}

NORVEX_API void BigXOR(const uint8_t* a, const uint8_t* b, uint8_t* out, unsigned n) {
  for (unsigned i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(a[i] ^ b[i]);
}

}  // extern "C"
