// SPDX-License-Identifier: MIT
#pragma once
// The block ciphers of DESFire EV1 secure messaging, over OpenSSL's EVP interface: DES and
// two-key triple DES (16-byte keys, 8-byte blocks), three-key triple DES (24-byte keys, 8-byte
// blocks) and AES-128 (16-byte keys and blocks). EV1 ciphers the ordinary way both ways: CBC
// encipherment of what is sent, CBC decipherment of what is received, the chaining value carried
// from one to the next by the caller. Only whole blocks are processed. A cipher failure throws,
// for the exception boundary of the export.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace desfire {

// The coding of DF_KEY_TYPE in the public header.
enum class KeyType : uint8_t { Des = 0, TwoKey3Des = 1, ThreeKey3Des = 2, Aes = 3 };

constexpr size_t kMaxCipherBlock = 16;
constexpr size_t kMaxKeyLength = 24;

// The key as the card holds it: 16 bytes for DES (both halves equal), 2K3DES and AES, 24 for
// 3K3DES.
size_t StoredKeyLength(KeyType type);
// 8 bytes for the DES types, 16 for AES.
size_t CipherBlock(KeyType type);
// A key type coded as in the public header, or false.
bool ValidKeyType(unsigned code);

class Ev1Cipher {
 public:
  // key holds StoredKeyLength(type) bytes.
  Ev1Cipher(KeyType type, const uint8_t* key);

  size_t Block() const { return CipherBlock(type_); }
  // CBC over len bytes (whole blocks) from iv (Block() bytes), which becomes the last cipher
  // block. in and out may be the same buffer.
  void CbcEncipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const;
  void CbcDecipher(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv) const;
  // One block with a zero IV (the CMAC subkey and the answer challenge use it).
  std::vector<uint8_t> EncipherBlock(const uint8_t* in) const;

 private:
  void AesCbc(const uint8_t* in, uint8_t* out, size_t len, uint8_t* iv, bool encipher) const;

  KeyType type_;
  std::array<uint8_t, kMaxKeyLength> key_{};
};

}  // namespace desfire
