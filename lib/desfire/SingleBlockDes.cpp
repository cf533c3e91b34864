// SPDX-License-Identifier: MIT
// Exported DES and triple-DES routines for callers of the library (no DESFire command uses
// them). The one-block routines hand back a result buffer of the calling thread, or null when the
// cipher could not run (OpenSSL out of memory); the others then leave zeros in the output. No
// exception leaves them.

#include <algorithm>
#include <array>

#include "desfire/DesCipher.h"
#include "norvexapi.h"

using desfire::DesCipher;
using desfire::kBlockSize;

namespace {

using Block = std::array<uint8_t, kBlockSize>;

// One block through CBC with the caller's chaining value, when given, updated.
uint8_t* OneBlock(const DesCipher& cipher, const uint8_t* in, uint8_t* iv, bool encipher,
                  Block& result) {
  Block chaining{};
  if (iv != nullptr) std::copy_n(iv, kBlockSize, chaining.begin());
  if (encipher) {
    cipher.CbcEncipher(in, result.data(), kBlockSize, chaining.data());
  } else {
    cipher.CbcDecipher(in, result.data(), kBlockSize, chaining.data());
  }
  if (iv != nullptr) std::copy(chaining.begin(), chaining.end(), iv);
  return result.data();
}

void CbcDecipherZeroIv(const DesCipher& cipher, const uint8_t* in, uint8_t* out, unsigned len) {
  Block iv{};
  cipher.CbcDecipher(in, out, len, iv.data());
}

// Runs a one-block routine; null when the cipher failed.
template <typename Routine>
uint8_t* OneBlockOrNull(Routine routine) noexcept {
  try {
    return routine();
  } catch (...) {
    return nullptr;
  }
}

// Runs a routine over len bytes; zeros in the output's whole blocks when the cipher failed.
template <typename Routine>
void BlocksOrZeros(uint8_t* out, unsigned len, Routine routine) noexcept {
  try {
    routine();
  } catch (...) {
    std::fill_n(out, desfire::WholeBlocks(len), uint8_t{0});
  }
}

}  // namespace

extern "C" {

NORVEX_API uint8_t* DES_ede3_cbc_encrypt_VOP(const uint8_t* key16, const uint8_t* in8,
                                             uint8_t* iv8) {
  thread_local Block result{};
  return OneBlockOrNull([&] {
    return OneBlock(DesCipher(key16, DesCipher::KeyLength::TwoKey), in8, iv8, true, result);
  });
}

NORVEX_API uint8_t* DES_ede3_cbc_decrypt_VOP(const uint8_t* key16, const uint8_t* in8,
                                             uint8_t* iv8) {
  thread_local Block result{};
  return OneBlockOrNull([&] {
    return OneBlock(DesCipher(key16, DesCipher::KeyLength::TwoKey), in8, iv8, false, result);
  });
}

NORVEX_API uint8_t* DES_cbc_decrypt(const uint8_t* key8, const uint8_t* in8, uint8_t* iv8) {
  thread_local Block result{};
  return OneBlockOrNull([&] {
    return OneBlock(DesCipher(key8, DesCipher::KeyLength::Single), in8, iv8, false, result);
  });
}

NORVEX_API uint8_t* DES_cbc_decrypt_DF(const uint8_t* key16, const uint8_t* in8, uint8_t* iv8) {
  thread_local Block result{};
  return OneBlockOrNull(
      [&] { return OneBlock(DesCipher::ForDesfireKey(key16), in8, iv8, false, result); });
}

NORVEX_API void DES_cbc_decrypt_ex(const uint8_t* key8, const uint8_t* in, uint8_t* out,
                                   unsigned len) {
  BlocksOrZeros(out, len, [&] {
    CbcDecipherZeroIv(DesCipher(key8, DesCipher::KeyLength::Single), in, out, len);
  });
}

// Ordinary CBC decipherment, chained whether or not in and out are the same buffer.
NORVEX_API void DES_cbc_decrypt_DF1(const uint8_t* key8, const uint8_t* in, uint8_t* out,
                                    unsigned len) {
  BlocksOrZeros(out, len, [&] {
    CbcDecipherZeroIv(DesCipher(key8, DesCipher::KeyLength::Single), in, out, len);
  });
}

NORVEX_API void DES_ede3_cbc_encrypt_VOPEx(const uint8_t* key16, const uint8_t* in, uint8_t* out,
                                           unsigned len) {
  BlocksOrZeros(out, len, [&] {
    Block iv{};
    DesCipher(key16, DesCipher::KeyLength::TwoKey).CbcEncipher(in, out, len, iv.data());
  });
}

NORVEX_API void CBC3DES(const uint8_t* key24, uint8_t* iv8, const uint8_t* in, uint8_t* out,
                        unsigned len) {
  BlocksOrZeros(out, len, [&] {
    Block chaining{};
    if (iv8 != nullptr) std::copy_n(iv8, kBlockSize, chaining.begin());
    DesCipher(key24, DesCipher::KeyLength::ThreeKey).CbcDecipher(in, out, len, chaining.data());
    if (iv8 != nullptr) std::copy(chaining.begin(), chaining.end(), iv8);
  });
}

}  // extern "C"
