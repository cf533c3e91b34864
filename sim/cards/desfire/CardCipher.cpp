// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/CardCipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace norvexsim::desfire {
namespace {

constexpr size_t kBlock = 8;

// One block enciphered at a time with EDE triple DES (K3 = K1; a DES key is K1 = K2), through
// OpenSSL's EVP interface in ECB mode: the card does its own chaining, as the card's documentation
// describes it, rather than borrow a CBC routine.
class Ede {
 public:
  explicit Ede(const Key& key) : context_(EVP_CIPHER_CTX_new()) {
    if (!context_) throw std::bad_alloc();
    uint8_t ede3[3 * kBlock];
    std::memcpy(ede3, key.data(), 2 * kBlock);
    std::memcpy(ede3 + 2 * kBlock, key.data(), kBlock);
    if (EVP_EncryptInit_ex(context_.get(), EVP_des_ede3_ecb(), nullptr, ede3, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(context_.get(), 0) != 1)
      throw std::runtime_error("card cipher unavailable");
  }
  void encipher(const uint8_t* in, uint8_t* out) {
    int written = 0;
    if (EVP_EncryptUpdate(context_.get(), out, &written, in, kBlock) != 1 || written != kBlock)
      throw std::runtime_error("card cipher failed");
  }

 private:
  struct Free {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
  };
  std::unique_ptr<EVP_CIPHER_CTX, Free> context_;
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
