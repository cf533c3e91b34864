// SPDX-License-Identifier: MIT
#pragma once
// DES block ciphering for the DESFire layer, over OpenSSL's EVP interface: single DES (8-byte key),
// two-key triple DES (16 bytes, EDE with K3 = K1) and three-key triple DES (24 bytes). Every length
// runs as EDE triple DES, which OpenSSL's default provider has: single DES is EDE with three equal
// keys. Key parity is never checked. Only whole 8-byte blocks are processed. A cipher failure
// throws (std::bad_alloc when OpenSSL ran out of memory), for the exception boundary of the export.

#include <array>
#include <cstddef>
#include <cstdint>

namespace desfire {

constexpr size_t kBlockSize = 8;

class DesCipher {
 public:
  enum class KeyLength { Single = 8, TwoKey = 16, ThreeKey = 24 };

  DesCipher(const uint8_t* key, KeyLength length);
  // A 16-byte DESFire key: single DES with K1 when its halves are equal, else two-key triple DES.
  static DesCipher ForDesfireKey(const uint8_t* key16);

  void Encipher(const uint8_t* in, uint8_t* out) const;  // one block, no chaining
  void Decipher(const uint8_t* in, uint8_t* out) const;
  // CBC over the whole blocks of len bytes; iv (8 bytes) is the chaining value in and out.
  void CbcEncipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const;
  void CbcDecipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const;

 private:
  void Cbc(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv, bool encipher) const;

  std::array<uint8_t, 24> ede3Key_{};  // K1 K2 K3
};

inline size_t WholeBlocks(size_t len) {
  return len - len % kBlockSize;
}

}  // namespace desfire
