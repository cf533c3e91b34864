// SPDX-License-Identifier: MIT
#pragma once
// Building DESFire native commands and sending those whose answer is the status alone: numbers
// go least significant byte first (AIDs, offsets, lengths and sizes in 3 bytes, values in 4), and
// cryptograms are CRC_A-closed blocks ciphered in send mode under the session key.

#include <array>
#include <cstdint>
#include <vector>

#include "norvexapi.h"

namespace desfire {

using Bytes = std::vector<uint8_t>;

// Appends the low `width` bytes of value, least significant first.
inline void AppendLe(Bytes& bytes, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
inline uint32_t ReadLe(const uint8_t* bytes, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

inline const uint8_t* KeyBytes(const tag_des_key* key) {
  return reinterpret_cast<const uint8_t*>(key);
}

// CRC_A of the bytes, low byte first.
inline std::array<uint8_t, 2> CrcA(const uint8_t* data, size_t len) {
  std::array<uint8_t, 2> crc{};
  ComputeCrc(1, reinterpret_cast<const char*>(data), static_cast<int>(len), &crc[0], &crc[1]);
  return crc;
}

// bytes || CRC_A(bytes).
Bytes WithCrc(Bytes bytes);
// plain zero-padded to `size` bytes (whole blocks), ciphered in send mode, appended to command.
void AppendCryptogram(Bytes& command, Bytes plain, size_t size, const tag_des_key& sessionKey);

// Sends the command and keeps only the card's status (0 or 0xA100 + status); CMACed under the
// session's EV1 channel when one is open.
long SendStatusOnly(void* session, const Bytes& command);
// Sends the command (CMACed under an open EV1 channel) and hands back the joined answer data,
// its CMAC checked and taken off.
long Query(void* session, const Bytes& command, Bytes* answer);

// The entry checks of every command: session, reader, DESFire record (whose exchange time-out
// goes to *timeout when asked for).
long EntryChecks(void* session, uint32_t* timeout = nullptr);

// WriteData (3D) and WriteRecord (3B): the header, then the data as the communication setting
// secures it, 52 bytes in the first frame and up to 59 after each additional-frame answer.
long WriteFileData(void* session, uint8_t code, uint8_t fileNo, FILE_COMM_SET set, int offset,
                   int len, const uint8_t* data, const tag_des_key* sessionKey);

// Credit (operation 0), Debit (1), LimitedCredit (2); another operation is NORVEX_E_DF_BAD_OPID.
long ChangeValue(void* session, int operation, uint8_t fileNo, FILE_COMM_SET set, int value,
                 const tag_des_key* sessionKey);

}  // namespace desfire
