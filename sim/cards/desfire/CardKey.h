// SPDX-License-Identifier: MIT
#pragma once
// A DESFire key as the card stores it: its cipher (fixed per application by the crypto bits of
// key settings 2 at CreateApplication), its bytes and its version. DES and triple DES keys carry
// the version in the parity bits (bit 0) of their first 8 bytes; AES keys in a byte of their own.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace norvexsim::desfire {

// The values are the crypto bits (7-6) of key settings 2 and of a PICC ChangeKey key number.
enum class KeyType : uint8_t {
  kDes = 0x00,     // single DES (halves equal) or two-key triple DES, 16 bytes, 8-byte blocks
  k3K3Des = 0x40,  // three-key triple DES, 24 bytes, 8-byte blocks
  kAes = 0x80,     // AES-128, 16 bytes, 16-byte blocks
};
constexpr uint8_t kKeyTypeBits = 0xC0;

// The key type the crypto bits name; std::nullopt for the reserved value 11.
std::optional<KeyType> keyTypeOf(uint8_t settingsByte);
size_t keyLengthOf(KeyType type);
size_t blockSizeOf(KeyType type);

struct Key {
  KeyType type = KeyType::kDes;
  std::array<uint8_t, 24> bytes{};
  uint8_t aesVersion = 0;

  size_t length() const { return keyLengthOf(type); }
  std::span<const uint8_t> value() const { return std::span(bytes).first(length()); }
  // A key of this type from its bytes (length() of them).
  static Key of(KeyType type, std::span<const uint8_t> value, uint8_t aesVersion = 0);
  uint8_t version() const;
  // A DES key whose halves are equal is single DES: its 8-byte and 16-byte forms are one key.
  bool singleDes() const;
  bool operator==(const Key&) const = default;
};

}  // namespace norvexsim::desfire
