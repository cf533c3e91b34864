// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/CardCipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

namespace norvexsim::desfire {
namespace {

constexpr size_t kDesBlock = 8;

// EVP's cipher and key bytes for a card key: two-key triple DES becomes K1 K2 K1.
const EVP_CIPHER* cipherOf(const Key& key, std::array<uint8_t, 24>& material) {
  material = key.bytes;
  switch (key.type) {
    case KeyType::kAes:
      return EVP_aes_128_ecb();
    case KeyType::k3K3Des:
      return EVP_des_ede3_ecb();
    case KeyType::kDes:
      std::copy_n(key.bytes.begin(), kDesBlock, material.begin() + 2 * kDesBlock);
      return EVP_des_ede3_ecb();
  }
  return nullptr;
}

evp_cipher_ctx_st* makeContext(const Key& key, bool encipher) {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  if (!context) throw std::bad_alloc();
  std::array<uint8_t, 24> material{};
  const EVP_CIPHER* cipher = cipherOf(key, material);
  if (EVP_CipherInit_ex(context, cipher, nullptr, material.data(), nullptr, encipher ? 1 : 0) !=
          1 ||
      EVP_CIPHER_CTX_set_padding(context, 0) != 1) {
    EVP_CIPHER_CTX_free(context);
    throw std::runtime_error("card cipher unavailable");
  }
  return context;
}

void runBlock(EVP_CIPHER_CTX* context, const uint8_t* in, uint8_t* out, size_t block) {
  int written = 0;
  if (EVP_CipherUpdate(context, out, &written, in, static_cast<int>(block)) != 1 ||
      written != static_cast<int>(block)) {
    throw std::runtime_error("card cipher failed");
  }
}

}  // namespace

void BlockCipher::Free::operator()(evp_cipher_ctx_st* context) const {
  EVP_CIPHER_CTX_free(context);
}

BlockCipher::BlockCipher(const Key& key)
    : blockSize_(blockSizeOf(key.type)),
      encipher_(makeContext(key, true)),
      decipher_(makeContext(key, false)) {}

BlockCipher::~BlockCipher() = default;

void BlockCipher::encipher(const uint8_t* in, uint8_t* out) const {
  runBlock(encipher_.get(), in, out, blockSize_);
}

void BlockCipher::decipher(const uint8_t* in, uint8_t* out) const {
  runBlock(decipher_.get(), in, out, blockSize_);
}

std::vector<uint8_t> BlockCipher::cbcEncipher(std::span<const uint8_t> plain,
                                              std::span<uint8_t> iv) const {
  std::vector<uint8_t> out(plain.size() - plain.size() % blockSize_);
  std::array<uint8_t, 16> block{};
  for (size_t offset = 0; offset < out.size(); offset += blockSize_) {
    for (size_t i = 0; i < blockSize_; ++i) block[i] = plain[offset + i] ^ iv[i];
    encipher(block.data(), out.data() + offset);
    std::copy_n(out.data() + offset, blockSize_, iv.begin());
  }
  return out;
}

std::vector<uint8_t> BlockCipher::cbcDecipher(std::span<const uint8_t> cipher,
                                              std::span<uint8_t> iv) const {
  std::vector<uint8_t> out(cipher.size() - cipher.size() % blockSize_);
  for (size_t offset = 0; offset < out.size(); offset += blockSize_) {
    decipher(cipher.data() + offset, out.data() + offset);
    for (size_t i = 0; i < blockSize_; ++i) out[offset + i] ^= iv[i];
    std::copy_n(cipher.data() + offset, blockSize_, iv.begin());
  }
  return out;
}

std::vector<uint8_t> encipherForReader(const Key& key, std::span<const uint8_t> plain) {
  std::array<uint8_t, kDesBlock> iv{};
  return BlockCipher(key).cbcEncipher(plain, iv);
}

std::vector<uint8_t> recoverFromReader(const Key& key, std::span<const uint8_t> received) {
  const BlockCipher cipher(key);
  std::vector<uint8_t> out(received.size() - received.size() % kDesBlock);
  for (size_t offset = 0; offset < out.size(); offset += kDesBlock) {
    cipher.encipher(received.data() + offset, out.data() + offset);
    if (offset == 0) continue;
    for (size_t i = 0; i < kDesBlock; ++i) out[offset + i] ^= received[offset - kDesBlock + i];
  }
  return out;
}

}  // namespace norvexsim::desfire
