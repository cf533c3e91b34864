// SPDX-License-Identifier: MIT
#pragma once
// The card's ciphers: DES and two-key triple DES (EDE with K3 = K1), three-key triple DES and
// AES-128, one block at a time through OpenSSL's EVP interface; the card does its own chaining.
//
// Legacy sessions (authentication 0A): the card only ever enciphers. What it sends is
// CBC-enciphered with a zero IV; what the reader sent in its send mode the card recovers by
// enciphering each block and XORing the previous received one.
// EV1 sessions (authentication 1A, AA): plain CBC both ways, the IV carried from one cryptogram
// to the next by the caller.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sim/cards/desfire/CardKey.h"

struct evp_cipher_ctx_st;

namespace norvexsim::desfire {

class BlockCipher {
 public:
  explicit BlockCipher(const Key& key);
  ~BlockCipher();
  BlockCipher(const BlockCipher&) = delete;
  BlockCipher& operator=(const BlockCipher&) = delete;

  size_t blockSize() const { return blockSize_; }
  void encipher(const uint8_t* in, uint8_t* out) const;
  void decipher(const uint8_t* in, uint8_t* out) const;
  // CBC over the whole blocks of the input; iv (one block) becomes the last cipher block.
  std::vector<uint8_t> cbcEncipher(std::span<const uint8_t> plain, std::span<uint8_t> iv) const;
  std::vector<uint8_t> cbcDecipher(std::span<const uint8_t> cipher, std::span<uint8_t> iv) const;

 private:
  struct Free {
    void operator()(evp_cipher_ctx_st* context) const;
  };
  size_t blockSize_;
  std::unique_ptr<evp_cipher_ctx_st, Free> encipher_, decipher_;
};

std::vector<uint8_t> encipherForReader(const Key& key, std::span<const uint8_t> plain);
std::vector<uint8_t> recoverFromReader(const Key& key, std::span<const uint8_t> received);

}  // namespace norvexsim::desfire
