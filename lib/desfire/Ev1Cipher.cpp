// SPDX-License-Identifier: MIT
#include "desfire/Ev1Cipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

#include "desfire/DesCipher.h"

namespace desfire {
namespace {

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

constexpr size_t kAesBlock = 16;

}  // namespace

size_t StoredKeyLength(KeyType type) {
  return type == KeyType::ThreeKey3Des ? 24 : 16;
}

size_t CipherBlock(KeyType type) {
  return type == KeyType::Aes ? kAesBlock : kBlockSize;
}

bool ValidKeyType(unsigned code) {
  return code <= static_cast<unsigned>(KeyType::Aes);
}

Ev1Cipher::Ev1Cipher(KeyType type, const uint8_t* key) : type_(type) {
  std::copy_n(key, StoredKeyLength(type), key_.begin());
}

void Ev1Cipher::CbcEncipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const {
  if (type_ == KeyType::Aes) return AesCbc(in, out, len, iv, true);
  const auto length = type_ == KeyType::ThreeKey3Des ? DesCipher::KeyLength::ThreeKey
                                                     : DesCipher::KeyLength::TwoKey;
  DesCipher(key_.data(), length).CbcEncipher(in, out, len, iv);
}

void Ev1Cipher::CbcDecipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const {
  if (type_ == KeyType::Aes) return AesCbc(in, out, len, iv, false);
  const auto length = type_ == KeyType::ThreeKey3Des ? DesCipher::KeyLength::ThreeKey
                                                     : DesCipher::KeyLength::TwoKey;
  DesCipher(key_.data(), length).CbcDecipher(in, out, len, iv);
}

std::vector<uint8_t> Ev1Cipher::EncipherBlock(const uint8_t* in) const {
  std::vector<uint8_t> out(Block());
  std::array<uint8_t, kMaxCipherBlock> iv{};
  CbcEncipher(in, out.data(), out.size(), iv.data());
  return out;
}

// Padding off, whole blocks only; the chaining value handed back is the last cipher block, taken
// from the input before deciphering since in and out may share a buffer.
void Ev1Cipher::AesCbc(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv,
                       bool encipher) const {
  const size_t whole = len - len % kAesBlock;
  if (whole == 0) return;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) throw std::bad_alloc();
  std::array<uint8_t, kAesBlock> nextIv{};
  if (!encipher) std::copy_n(in + whole - kAesBlock, kAesBlock, nextIv.begin());
  int written = 0;
  if (EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key_.data(), iv,
                        encipher ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
      EVP_CipherUpdate(context.get(), out, &written, in, static_cast<int>(whole)) != 1 ||
      static_cast<size_t>(written) != whole)
    throw std::runtime_error("AES cipher failed");
  if (encipher) std::copy_n(out + whole - kAesBlock, kAesBlock, nextIv.begin());
  std::copy(nextIv.begin(), nextIv.end(), iv);
}

}  // namespace desfire
