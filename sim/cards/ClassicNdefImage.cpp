// SPDX-License-Identifier: MIT
#include "sim/cards/ClassicNdefImage.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "sim/cards/MifareClassicGeometry.h"

namespace norvexsim {
namespace {

using classic::kBlockSize;

constexpr unsigned kDirectory2Sector = 16;
constexpr std::array<uint8_t, 6> kDirectoryKey{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
constexpr std::array<uint8_t, 6> kNdefKey{0xD3, 0xF7, 0xD3, 0xF7, 0xD3, 0xF7};
constexpr std::array<uint8_t, 4> kDirectoryAccess{0x78, 0x77, 0x88, 0xC1};  // GPB: MAD version 1
constexpr std::array<uint8_t, 4> kNdefAccess{0x7F, 0x07, 0x88, 0x40};
constexpr uint8_t kDirectory2Version = 0xC2;

// The directory's CRC-8: polynomial x^8 + x^4 + x^3 + x^2 + 1, preset C7, MSB first.
uint8_t directoryCrc(std::span<const uint8_t> bytes) {
  unsigned crc = 0xC7;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x80) ? ((crc << 1) ^ 0x1D) & 0xFF : (crc << 1) & 0xFF;
  }
  return static_cast<uint8_t>(crc);
}

// A directory of `entries` entries describing sectors first.. of a card of `sectors` sectors:
// 03 E1 (NFC Forum, NDEF) for each sector the card has, 00 00 for the others.
std::vector<uint8_t> directory(unsigned first, unsigned entries, unsigned sectors, uint8_t info) {
  std::vector<uint8_t> bytes(2 + 2 * entries);
  bytes[1] = info;
  for (unsigned i = 0; i < entries && first + i < sectors; ++i) {
    bytes[2 + 2 * i] = 0x03;
    bytes[3 + 2 * i] = 0xE1;
  }
  bytes[0] = directoryCrc(std::span(bytes).subspan(1));
  return bytes;
}

void putTrailer(std::vector<uint8_t>& memory, unsigned sector, const std::array<uint8_t, 6>& keyA,
                std::array<uint8_t, 4> access) {
  auto trailer = memory.begin() + classic::trailerOf(sector) * kBlockSize;
  std::copy(keyA.begin(), keyA.end(), trailer);
  std::copy(access.begin(), access.end(), trailer + 6);
  std::fill(trailer + 10, trailer + 16, 0xFF);
}

}  // namespace

void formatClassicNdef(std::vector<uint8_t>& memory, std::span<const uint8_t> message) {
  const unsigned blocks = static_cast<unsigned>(memory.size() / kBlockSize);
  const unsigned sectors = classic::sectorOf(blocks - 1) + 1;
  const bool withDirectory2 = sectors > kDirectory2Sector;
  std::fill(memory.begin() + kBlockSize, memory.end(), 0);

  // The TLV: 03, a length of one byte (up to FE) or FF and two bytes, the message, FE.
  std::vector<uint8_t> tlv{0x03};
  if (message.size() < 0xFF) {
    tlv.push_back(static_cast<uint8_t>(message.size()));
  } else {
    tlv.insert(tlv.end(), {0xFF, static_cast<uint8_t>(message.size() >> 8),
                           static_cast<uint8_t>(message.size() & 0xFF)});
  }
  tlv.insert(tlv.end(), message.begin(), message.end());
  tlv.push_back(0xFE);

  size_t written = 0;
  for (unsigned sector = 1; sector < sectors; ++sector) {
    if (sector == kDirectory2Sector) continue;
    for (unsigned block = classic::firstBlockOf(sector); block < classic::trailerOf(sector);
         ++block) {
      const size_t count = std::min(kBlockSize, tlv.size() - written);
      std::copy_n(tlv.begin() + static_cast<std::ptrdiff_t>(written), count,
                  memory.begin() + block * kBlockSize);
      written += count;
    }
    putTrailer(memory, sector, kNdefKey, kNdefAccess);
  }
  // The terminator may be left out when the TLV fills the sectors exactly.
  if (written + 1 < tlv.size() || message.size() > 0xFFFE) {
    throw std::invalid_argument("option ndef: a message of " + std::to_string(message.size()) +
                                " bytes does not fit the card");
  }

  auto access = kDirectoryAccess;
  if (withDirectory2) access[3] = kDirectory2Version;
  const auto mad1 = directory(1, 15, sectors, 0x01);
  std::copy(mad1.begin(), mad1.end(), memory.begin() + kBlockSize);
  putTrailer(memory, 0, kDirectoryKey, access);
  if (withDirectory2) {
    const auto mad2 = directory(kDirectory2Sector + 1, 23, sectors, 0x00);
    std::copy(mad2.begin(), mad2.end(),
              memory.begin() + classic::firstBlockOf(kDirectory2Sector) * kBlockSize);
    putTrailer(memory, kDirectory2Sector, kDirectoryKey, access);
  }
}

}  // namespace norvexsim
