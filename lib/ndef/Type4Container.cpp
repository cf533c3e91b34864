// SPDX-License-Identifier: MIT
#include "ndef/Type4Container.h"

#include <algorithm>

#include "status/StatusCodes.h"

namespace type4 {
namespace {

constexpr std::uint8_t kFileControlTlv = 0x04;
constexpr std::uint8_t kFileControlLength = 0x06;
constexpr std::uint16_t kSmallestMle = 0x000F;
constexpr std::uint16_t kSmallestFile = 0x0005;
constexpr std::uint16_t kNoFile = 0xFFFF;
constexpr std::array<std::uint16_t, 6> kReservedFiles{0x0000, 0xE102, 0xE103,
                                                      0x3F00, 0x3FFF, 0xFFFF};

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void PutWord(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

}  // namespace

long ParseContainer(std::span<const std::uint8_t> bytes, Container& out) {
  if (bytes.size() < container_size) return ndef_bad_container;
  const std::uint16_t length = Word(bytes, 0);
  if (length < container_size || length > bytes.size()) return ndef_bad_container;
  if ((bytes[2] & 0xF0) != (mapping_version & 0xF0)) return ndef_bad_container;
  Container c;
  c.maxRead = Word(bytes, 3);
  c.maxWrite = Word(bytes, 5);
  if (c.maxRead < kSmallestMle || c.maxWrite == 0) return ndef_bad_container;
  if (bytes[7] != kFileControlTlv || bytes[8] != kFileControlLength) return ndef_bad_container;
  c.fileId = Word(bytes, 9);
  c.fileSize = Word(bytes, 11);
  if (std::ranges::find(kReservedFiles, c.fileId) != kReservedFiles.end()) {
    return ndef_bad_container;
  }
  if (c.fileSize < kSmallestFile || c.fileSize == kNoFile) return ndef_bad_container;
  c.readable = bytes[13] == access_free;
  c.writable = bytes[14] == access_free;
  out = c;
  return 0;
}

std::array<std::uint8_t, container_size> ContainerBytes(const Container& container) {
  std::array<std::uint8_t, container_size> cc{};
  PutWord(&cc[0], container_size);
  cc[2] = mapping_version;
  PutWord(&cc[3], container.maxRead);
  PutWord(&cc[5], container.maxWrite);
  cc[7] = kFileControlTlv;
  cc[8] = kFileControlLength;
  PutWord(&cc[9], container.fileId);
  PutWord(&cc[11], container.fileSize);
  cc[13] = container.readable ? access_free : 0x80;
  cc[14] = container.writable ? access_free : 0xFF;
  return cc;
}

}  // namespace type4
