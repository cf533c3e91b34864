// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/SecureMessaging.h"

#include <algorithm>

#include "sim/cards/CrcA.h"
#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/DesfireFile.h"

namespace norvexsim::desfire {
namespace {

constexpr size_t kBlock = 8, kMacLength = 4, kCrcLength = 2;

size_t paddedLength(size_t length) {
  return (length + kBlock - 1) / kBlock * kBlock;
}

}  // namespace

std::array<uint8_t, 4> macOf(const Key& sessionKey, std::span<const uint8_t> data) {
  std::vector<uint8_t> padded(data.begin(), data.end());
  padded.resize(std::max(kBlock, paddedLength(data.size())), 0);
  const auto chain = encipherForReader(sessionKey, padded);
  std::array<uint8_t, 4> mac{};
  std::copy_n(chain.end() - kBlock, kMacLength, mac.begin());
  return mac;
}

size_t securedLength(uint8_t setting, size_t plainLength) {
  switch (setting) {
    case comm::kMaced:
      return plainLength + kMacLength;
    case comm::kEnciphered:
      return paddedLength(plainLength + kCrcLength);
    default:
      return plainLength;
  }
}

std::vector<uint8_t> secureForReader(uint8_t setting, const Key& sessionKey,
                                     std::span<const uint8_t> data) {
  std::vector<uint8_t> out(data.begin(), data.end());
  if (setting == comm::kMaced) {
    const auto mac = macOf(sessionKey, data);
    out.insert(out.end(), mac.begin(), mac.end());
  } else if (setting == comm::kEnciphered) {
    const auto crc = crcA(data);
    out.insert(out.end(), crc.begin(), crc.end());
    out.resize(securedLength(setting, data.size()), 0);
    out = encipherForReader(sessionKey, out);
  }
  return out;
}

std::optional<std::vector<uint8_t>> openFromReader(uint8_t setting, const Key& sessionKey,
                                                   std::span<const uint8_t> received,
                                                   size_t plainLength) {
  if (received.size() != securedLength(setting, plainLength)) return std::nullopt;
  if (setting == comm::kMaced) {
    const auto data = received.first(plainLength);
    const auto mac = macOf(sessionKey, data);
    if (!std::equal(mac.begin(), mac.end(), received.begin() + plainLength)) return std::nullopt;
    return std::vector<uint8_t>(data.begin(), data.end());
  }
  if (setting != comm::kEnciphered) return std::vector<uint8_t>(received.begin(), received.end());
  auto plain = recoverFromReader(sessionKey, received);
  const auto crc = crcA(std::span<const uint8_t>(plain).first(plainLength));
  const bool crcMatches = plain[plainLength] == crc[0] && plain[plainLength + 1] == crc[1];
  const bool zeroPadding = std::all_of(plain.begin() + static_cast<long>(plainLength) + 2,
                                       plain.end(), [](uint8_t byte) { return byte == 0; });
  if (!crcMatches || !zeroPadding) return std::nullopt;
  plain.resize(plainLength);
  return plain;
}

}  // namespace norvexsim::desfire
