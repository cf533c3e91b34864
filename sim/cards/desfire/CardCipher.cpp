// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/CardCipher.h"

#include <openssl/des.h>

#include <algorithm>
#include <cstring>

// OpenSSL 3 deprecates the DES_* interface; the card model keeps to it in this file only.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace norvexsim::desfire {
namespace {

constexpr size_t kBlock = 8;

class Ede {
 public:
  explicit Ede(const Key& key) {
    DES_cblock half;
    std::memcpy(half, key.data(), kBlock);
    DES_set_key_unchecked(&half, &k1_);
    std::memcpy(half, key.data() + kBlock, kBlock);
    DES_set_key_unchecked(&half, &k2_);
  }
  void encipher(const uint8_t* in, uint8_t* out) {
    DES_cblock input, output;
    std::memcpy(input, in, kBlock);
    DES_ecb3_encrypt(&input, &output, &k1_, &k2_, &k1_, DES_ENCRYPT);
    std::memcpy(out, output, kBlock);
  }

 private:
  DES_key_schedule k1_{}, k2_{};
};

}  // namespace

std::vector<uint8_t> encipherForReader(const Key& key, std::span<const uint8_t> plain) {
  Ede cipher(key);
  std::vector<uint8_t> out(plain.size() - plain.size() % kBlock);
  uint8_t chaining[kBlock] = {};
  for (size_t offset = 0; offset < out.size(); offset += kBlock) {
    uint8_t block[kBlock];
    for (size_t i = 0; i < kBlock; ++i) block[i] = plain[offset + i] ^ chaining[i];
    cipher.encipher(block, out.data() + offset);
    std::copy_n(out.data() + offset, kBlock, chaining);
  }
  return out;
}

std::vector<uint8_t> recoverFromReader(const Key& key, std::span<const uint8_t> received) {
  Ede cipher(key);
  std::vector<uint8_t> out(received.size() - received.size() % kBlock);
  for (size_t offset = 0; offset < out.size(); offset += kBlock) {
    cipher.encipher(received.data() + offset, out.data() + offset);
    if (offset == 0) continue;
    for (size_t i = 0; i < kBlock; ++i) out[offset + i] ^= received[offset - kBlock + i];
  }
  return out;
}

}  // namespace norvexsim::desfire

#pragma GCC diagnostic pop
