// SPDX-License-Identifier: MIT
// DESFire legacy secure messaging of file data: MACed (data and its 4-byte MAC) and enciphered
// (data, CRC_A, zero padding, ciphered in send mode) going out; checked and unwrapped coming in.

#include <algorithm>
#include <array>
#include <vector>

#include "desfire/DesCipher.h"
#include "norvexapi.h"
#include "status/StatusCodes.h"

using desfire::kBlockSize;

namespace {

constexpr int kCrcA = 1;
constexpr size_t kCrcLength = 2, kMacLength = 4;
constexpr uint8_t kSendMode = 0, kDecipherMode = 0;

const uint8_t* KeyBytes(const tag_des_key* key) {
  return reinterpret_cast<const uint8_t*>(key);
}

// CRC_A of the data, low byte first.
std::array<uint8_t, kCrcLength> CrcA(const uint8_t* data, size_t len) {
  std::array<uint8_t, kCrcLength> crc{};
  ComputeCrc(kCrcA, reinterpret_cast<const char*>(data), static_cast<int>(len), &crc[0], &crc[1]);
  return crc;
}

}  // namespace

extern "C" {

NORVEX_API void DESDataCRC(const uint8_t* data, unsigned len, uint8_t** out, unsigned* outLen,
                           const tag_des_key* key) try {
  *out = nullptr;
  *outLen = 0;
  const size_t padded = (len + kCrcLength + kBlockSize - 1) / kBlockSize * kBlockSize;
  std::vector<uint8_t> plain(padded, 0);
  std::copy_n(data, len, plain.begin());
  const auto crc = CrcA(data, len);
  std::copy(crc.begin(), crc.end(), plain.begin() + len);
  *out = new uint8_t[padded];
  *outLen = static_cast<unsigned>(padded);
  DESFireCBCSend(KeyBytes(key), plain.data(), *out, *outLen, kSendMode);
} catch (...) {
  // Memory ran out: no buffer (SecureData reports it).
}

NORVEX_API long UnDESDataCRC(uint8_t* data, unsigned len, unsigned plainLen,
                             const tag_des_key* key) try {
  const size_t whole = desfire::WholeBlocks(len);
  if (static_cast<size_t>(plainLen) + kCrcLength > whole) return df_bad_crc;
  std::vector<uint8_t> plain(whole);
  DESFireCBCRecv(KeyBytes(key), data, plain.data(), static_cast<unsigned>(whole), kDecipherMode);
  const auto crc = CrcA(plain.data(), plainLen);
  if (!std::equal(crc.begin(), crc.end(), plain.begin() + plainLen)) return df_bad_crc;
  std::copy_n(plain.begin(), plainLen, data);
  return 0;
} catch (...) {
  return mem_no_space;
}

NORVEX_API long SecureData(FILE_COMM_SET set, const uint8_t* data, unsigned len, uint8_t** out,
                           unsigned* outLen, const tag_des_key* key) try {
  if (set == COMM_ENCIPHERED) {
    DESDataCRC(data, len, out, outLen, key);
    return *out != nullptr ? 0 : mem_no_space;
  }
  if (set != COMM_MACED) return df_bad_commset;
  auto* buffer = new uint8_t[len + kMacLength];
  std::copy_n(data, len, buffer);
  _tag_mac_data mac{};
  CalculateMAC(data, len, &mac, key);
  std::copy_n(mac.mac, kMacLength, buffer + len);
  *out = buffer;
  *outLen = static_cast<unsigned>(len + kMacLength);
  return 0;
} catch (...) {
  return mem_no_space;
}

NORVEX_API long CheckDataSec(FILE_COMM_SET set, uint8_t* data, unsigned* len, unsigned plainLen,
                             const tag_des_key* key) {
  if (set == COMM_MACED) {
    if (!VerifyMAC(data, *len, key)) return df_bad_mac;
    *len -= kMacLength;
    return 0;
  }
  if (set != COMM_ENCIPHERED) return df_bad_commset;
  if (long status = UnDESDataCRC(data, *len, plainLen, key)) return status;
  *len = plainLen;
  return 0;
}

NORVEX_API void DF_FreeBuffer(uint8_t* buffer) {
  delete[] buffer;
}

}  // extern "C"
