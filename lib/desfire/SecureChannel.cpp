// SPDX-License-Identifier: MIT
#include "desfire/SecureChannel.h"

#include <algorithm>

#include "desfire/Cmac.h"
#include "desfire/Crc32.h"
#include "status/StatusCodes.h"

namespace desfire {
namespace {

constexpr uint8_t kStatusOk = 0x00;

// A CRC32 of data[0..length) || 00 must follow the data.
bool CrcFollows(const std::vector<uint8_t>& data, size_t length) {
  uint32_t crc = Crc32(data.data(), length);
  crc = Crc32(&kStatusOk, 1, crc);
  for (size_t i = 0; i < kCrc32Length; ++i) {
    if (data[length + i] != static_cast<uint8_t>(crc >> (8 * i))) return false;
  }
  return true;
}

}  // namespace

void SecureChannel::Open(KeyType type, uint8_t keyNo, const std::vector<uint8_t>& sessionKey) {
  state_.active = true;
  state_.keyType = static_cast<uint8_t>(type);
  state_.keyNo = keyNo;
  state_.sessionKey.fill(0);
  std::copy(sessionKey.begin(), sessionKey.end(), state_.sessionKey.begin());
  state_.iv.fill(0);
}

Ev1Cipher SecureChannel::Cipher() const {
  return Ev1Cipher(Type(), state_.sessionKey.data());
}

std::vector<uint8_t> SecureChannel::MacOf(const uint8_t* data, size_t len) {
  std::vector<uint8_t> mac = Cmac(Cipher(), state_.iv.data(), data, len);
  std::copy(mac.begin(), mac.end(), state_.iv.begin());
  return mac;
}

std::vector<uint8_t> SecureChannel::Command(const std::vector<uint8_t>& command, size_t plainPart,
                                            Comm mode) {
  if (mode != Comm::Enciphered) {
    const std::vector<uint8_t> mac = MacOf(command.data(), command.size());
    std::vector<uint8_t> wire = command;
    if (mode == Comm::Maced) wire.insert(wire.end(), mac.begin(), mac.begin() + kCmacLength);
    return wire;
  }
  std::vector<uint8_t> plain(command.begin() + static_cast<std::ptrdiff_t>(plainPart),
                             command.end());
  AppendCrc32(plain, Crc32(command.data(), command.size()));
  std::vector<uint8_t> wire(command.begin(),
                            command.begin() + static_cast<std::ptrdiff_t>(plainPart));
  const std::vector<uint8_t> cryptogram = Encipher(std::move(plain));
  wire.insert(wire.end(), cryptogram.begin(), cryptogram.end());
  return wire;
}

std::vector<uint8_t> SecureChannel::Encipher(std::vector<uint8_t> plain) {
  plain.resize(PaddedLength(plain.size(), Block()), 0);
  Cipher().CbcEncipher(plain.data(), plain.data(), plain.size(), state_.iv.data());
  return plain;
}

bool SecureChannel::CheckAnswerMac(const uint8_t* data, size_t len, const uint8_t* mac) {
  std::vector<uint8_t> covered(data, data + len);
  covered.push_back(kStatusOk);
  const std::vector<uint8_t> expected = MacOf(covered.data(), covered.size());
  return std::equal(mac, mac + kCmacLength, expected.begin());
}

long SecureChannel::Answer(std::vector<uint8_t>& data, Comm mode, size_t plainLength, size_t unit) {
  if (mode == Comm::Enciphered) return Decipher(data, plainLength, unit);
  if (data.size() < kCmacLength) return rd_resp_truncated;
  const size_t plain = data.size() - kCmacLength;
  if (!CheckAnswerMac(data.data(), plain, data.data() + plain)) return df_bad_mac;
  data.resize(plain);
  return 0;
}

long SecureChannel::Decipher(std::vector<uint8_t>& data, size_t plainLength, size_t unit) {
  const size_t block = Block();
  const size_t shortest = unit == 0 ? plainLength : 0;
  if (data.size() % block != 0 || data.size() < PaddedLength(shortest + kCrc32Length, block) ||
      data.size() > PaddedLength(plainLength + kCrc32Length, block))
    return rd_resp_truncated;
  Cipher().CbcDecipher(data.data(), data.data(), data.size(), state_.iv.data());
  const size_t step = unit == 0 ? 1 : unit;
  for (size_t length = plainLength - plainLength % step;; length -= step) {
    if (PaddedLength(length + kCrc32Length, block) == data.size() && CrcFollows(data, length)) {
      data.resize(length);
      return 0;
    }
    if (unit == 0 || length < step) return df_bad_crc;
  }
}

}  // namespace desfire
