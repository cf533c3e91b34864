// SPDX-License-Identifier: MIT
#include "desfire/DesCipher.h"

#include <algorithm>
#include <array>
#include <cstring>

// The DES_* interface is deprecated in OpenSSL 3 but remains the one the DESFire layer is built
// on; the warning is silenced for this file only.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace desfire {
namespace {

void Schedule(const uint8_t* key, DES_key_schedule* schedule) {
  DES_cblock block;
  std::memcpy(block, key, kBlockSize);
  DES_set_key_unchecked(&block, schedule);
}

}  // namespace

DesCipher::DesCipher(const uint8_t* key, KeyLength length) {
  single_ = length == KeyLength::Single;
  Schedule(key, &k1_);
  if (single_) return;
  Schedule(key + kBlockSize, &k2_);
  Schedule(length == KeyLength::ThreeKey ? key + 2 * kBlockSize : key, &k3_);
}

DesCipher DesCipher::ForDesfireKey(const uint8_t* key16) {
  const bool equalHalves = std::equal(key16, key16 + kBlockSize, key16 + kBlockSize);
  return DesCipher(key16, equalHalves ? KeyLength::Single : KeyLength::TwoKey);
}

void DesCipher::Encipher(const uint8_t* in, uint8_t* out) const {
  std::array<uint8_t, kBlockSize> iv{};
  Cbc(in, out, kBlockSize, iv.data(), DES_ENCRYPT);
}

void DesCipher::Decipher(const uint8_t* in, uint8_t* out) const {
  std::array<uint8_t, kBlockSize> iv{};
  Cbc(in, out, kBlockSize, iv.data(), DES_DECRYPT);
}

void DesCipher::CbcEncipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const {
  Cbc(in, out, len, iv, DES_ENCRYPT);
}

void DesCipher::CbcDecipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const {
  Cbc(in, out, len, iv, DES_DECRYPT);
}

// OpenSSL would pad a partial last block and write a whole one: only whole blocks go in.
void DesCipher::Cbc(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv, int direction) const {
  const size_t whole = WholeBlocks(len);
  if (whole == 0) return;
  DES_cblock chaining;
  std::memcpy(chaining, iv, kBlockSize);
  auto* schedule1 = const_cast<DES_key_schedule*>(&k1_);
  if (single_) {
    DES_ncbc_encrypt(in, out, static_cast<long>(whole), schedule1, &chaining, direction);
  } else {
    DES_ede3_cbc_encrypt(in, out, static_cast<long>(whole), schedule1,
                         const_cast<DES_key_schedule*>(&k2_), const_cast<DES_key_schedule*>(&k3_),
                         &chaining, direction);
  }
  std::memcpy(iv, chaining, kBlockSize);
}

}  // namespace desfire

#pragma GCC diagnostic pop
