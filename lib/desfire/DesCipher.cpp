// SPDX-License-Identifier: MIT
#include "desfire/DesCipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace desfire {
namespace {

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

}  // namespace

DesCipher::DesCipher(const uint8_t* key, KeyLength length) {
  const uint8_t* k1 = key;
  const uint8_t* k2 = length == KeyLength::Single ? key : key + kBlockSize;
  const uint8_t* k3 = length == KeyLength::ThreeKey ? key + 2 * kBlockSize : key;
  std::copy_n(k1, kBlockSize, ede3Key_.begin());
  std::copy_n(k2, kBlockSize, ede3Key_.begin() + kBlockSize);
  std::copy_n(k3, kBlockSize, ede3Key_.begin() + 2 * kBlockSize);
}

DesCipher DesCipher::ForDesfireKey(const uint8_t* key16) {
  const bool equalHalves = std::equal(key16, key16 + kBlockSize, key16 + kBlockSize);
  return DesCipher(key16, equalHalves ? KeyLength::Single : KeyLength::TwoKey);
}

void DesCipher::Encipher(const uint8_t* in, uint8_t* out) const {
  std::array<uint8_t, kBlockSize> iv{};
  Cbc(in, out, kBlockSize, iv.data(), true);
}

void DesCipher::Decipher(const uint8_t* in, uint8_t* out) const {
  std::array<uint8_t, kBlockSize> iv{};
  Cbc(in, out, kBlockSize, iv.data(), false);
}

void DesCipher::CbcEncipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const {
  Cbc(in, out, len, iv, true);
}

void DesCipher::CbcDecipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const {
  Cbc(in, out, len, iv, false);
}

// Padding is off: only whole blocks go in, and exactly as many come out. The chaining value that
// goes back to the caller is the last ciphertext block (taken from the input before deciphering,
// since in and out may be the same buffer).
void DesCipher::Cbc(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv, bool encipher) const {
  const size_t whole = WholeBlocks(len);
  if (whole == 0) return;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) throw std::bad_alloc();
  std::array<uint8_t, kBlockSize> nextIv{};
  if (!encipher) std::copy_n(in + whole - kBlockSize, kBlockSize, nextIv.begin());
  int written = 0;
  if (EVP_CipherInit_ex(context.get(), EVP_des_ede3_cbc(), nullptr, ede3Key_.data(), iv,
                        encipher ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
      EVP_CipherUpdate(context.get(), out, &written, in, static_cast<int>(whole)) != 1 ||
      static_cast<size_t>(written) != whole)
    throw std::runtime_error("triple DES cipher failed");
  if (encipher) std::copy_n(out + whole - kBlockSize, kBlockSize, nextIv.begin());
  std::memcpy(iv, nextIv.data(), kBlockSize);
}

}  // namespace desfire
