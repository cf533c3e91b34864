// SPDX-License-Identifier: MIT
// Type 2 tag capability container and TLV walking, on bytes already read from the tag.

#include "ndef/Type2Tlv.h"

#include "status/StatusCodes.h"

namespace type2 {

namespace {

constexpr std::uint8_t kLongLength = 0xFF;
constexpr std::size_t kMaxShortLength = 0xFE;

// Reads a TLV length at area[at]: one byte, or FF and two bytes big-endian.
bool ReadLength(std::span<const std::uint8_t> area, std::size_t at, std::size_t& value,
                std::size_t& size) {
  if (at >= area.size()) return false;
  if (area[at] != kLongLength) {
    value = area[at], size = 1;
    return true;
  }
  if (area.size() - at < 3) return false;
  value = std::size_t{area[at + 1]} << 8 | area[at + 2], size = 3;
  return true;
}

}  // namespace

std::size_t DataAreaSize(std::span<const std::uint8_t, 4> cc) {
  if (cc[0] != ndef_magic || (cc[1] >> 4) != (mapping_version >> 4)) return 0;
  return std::size_t{cc[2]} * 8;
}

bool Writable(std::span<const std::uint8_t, 4> cc) {
  return (cc[3] & 0x0F) == access_read_write;
}

long FindNdefTlv(std::span<const std::uint8_t> area, NdefTlv& found) {
  std::size_t at = 0;
  while (at < area.size()) {
    const std::uint8_t type = area[at];
    if (type == tlv::terminator) break;
    if (type == tlv::null) {
      ++at;
      continue;
    }
    std::size_t length = 0, lengthSize = 0;
    if (!ReadLength(area, at + 1, length, lengthSize)) return ndef_truncated;
    const std::size_t value = at + 1 + lengthSize;
    if (length > area.size() - value) return ndef_truncated;
    if (type == tlv::ndef) {
      found = {at, lengthSize, value, length};
      return 0;
    }
    at = value + length;
  }
  found = {at, 1, at, 0};
  return ndef_no_tlv;
}

long NdefTlvBytes(std::span<const std::uint8_t> message, std::size_t at, std::size_t areaSize,
                  std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  bytes.push_back(tlv::ndef);
  if (message.size() <= kMaxShortLength) {
    bytes.push_back(static_cast<std::uint8_t>(message.size()));
  } else if (message.size() < 0xFFFF) {
    bytes.push_back(kLongLength);
    bytes.push_back(static_cast<std::uint8_t>(message.size() >> 8));
    bytes.push_back(static_cast<std::uint8_t>(message.size() & 0xFF));
  } else {
    return ndef_too_large;
  }
  bytes.insert(bytes.end(), message.begin(), message.end());
  if (at > areaSize || bytes.size() > areaSize - at) return ndef_too_large;
  if (bytes.size() < areaSize - at) bytes.push_back(tlv::terminator);
  return 0;
}

std::array<std::uint8_t, 4> CapabilityContainer(std::size_t areaSize) {
  return {ndef_magic, mapping_version, static_cast<std::uint8_t>(areaSize / 8), access_read_write};
}

}  // namespace type2
