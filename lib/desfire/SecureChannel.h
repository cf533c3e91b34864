// SPDX-License-Identifier: MIT
#pragma once
// The EV1 secure channel's rules, apart from any exchange: how a command is sent under it and how
// an answer is checked, each step advancing the chaining value the way the card does.
// - Every command sent plain or MACed is CMACed from the chaining value, and the CMAC becomes the
//   new one; MACed commands carry its first 8 bytes at the end.
// - Enciphered commands keep the command byte and header plain and encipher data || CRC32(whole
//   command) || zero padding; the chaining value becomes the last cipher block.
// - Plain and MACed answers end in 8 CMAC bytes over data || status 00; enciphered answers are
//   data || CRC32(data || 00) || padding, deciphered from the chaining value.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "desfire/Ev1Cipher.h"
#include "session/DesfireRecord.h"

namespace desfire {

enum class Comm { Plain, Maced, Enciphered };

constexpr size_t kCmacLength = 8;

class SecureChannel {
 public:
  explicit SecureChannel(DESFIRE_CHANNEL& state) : state_(state) {}

  // Opens the channel after an authentication: chaining value zero.
  void Open(KeyType type, uint8_t keyNo, const std::vector<uint8_t>& sessionKey);
  void End() { state_.active = false; }
  bool Active() const { return state_.active; }
  KeyType Type() const { return static_cast<KeyType>(state_.keyType); }
  uint8_t KeyNo() const { return state_.keyNo; }

  // The command as it goes on the wire; plainPart bytes (command byte and header) stay plain.
  std::vector<uint8_t> Command(const std::vector<uint8_t>& command, size_t plainPart, Comm mode);
  // plain (zero-padded here to whole blocks) enciphered from the chaining value.
  std::vector<uint8_t> Encipher(std::vector<uint8_t> plain);
  // Checks the answer's data under mode and leaves the plain data in it. An enciphered answer
  // carries plainLength bytes, or with a unit the longest multiple of it up to plainLength whose
  // CRC32 matches (the answer does not say where the padding starts). Returns 0,
  // NORVEX_E_DF_BAD_MAC, NORVEX_E_DF_BAD_CRC or NORVEX_E_RD_RESP_TRUNCATED (wrong length); the
  // caller ends the channel on failure.
  long Answer(std::vector<uint8_t>& data, Comm mode, size_t plainLength, size_t unit = 0);
  // A MAC over data || 00 from the chaining value, checked against mac[8]; advances it.
  bool CheckAnswerMac(const uint8_t* data, size_t len, const uint8_t* mac);

 private:
  Ev1Cipher Cipher() const;
  size_t Block() const { return CipherBlock(Type()); }
  std::vector<uint8_t> MacOf(const uint8_t* data, size_t len);
  long Decipher(std::vector<uint8_t>& data, size_t plainLength, size_t unit);

  DESFIRE_CHANNEL& state_;
};

// The length of len bytes padded with zeros to whole blocks (no padding block when len is whole).
inline size_t PaddedLength(size_t len, size_t block) {
  return len == 0 ? block : (len + block - 1) / block * block;
}

}  // namespace desfire
