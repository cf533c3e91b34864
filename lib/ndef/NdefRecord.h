// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// One NDEF record as an application sees it: chunked records arrive here already joined, so the
// chunk flag never shows. Type, ID and payload are at most what the header can carry: 255 bytes of
// type and ID, 2^32 - 1 bytes of payload.
struct NdefRecord {
  std::uint8_t tnf = 0;
  std::vector<std::uint8_t> type;
  std::vector<std::uint8_t> id;
  std::vector<std::uint8_t> payload;
  bool operator==(const NdefRecord&) const = default;
};

// Type name formats (the low 3 bits of the record header).
namespace tnf {
inline constexpr std::uint8_t empty = 0x00;
inline constexpr std::uint8_t well_known = 0x01;
inline constexpr std::uint8_t media = 0x02;
inline constexpr std::uint8_t absolute_uri = 0x03;
inline constexpr std::uint8_t external = 0x04;
inline constexpr std::uint8_t unknown = 0x05;
inline constexpr std::uint8_t unchanged = 0x06;
inline constexpr std::uint8_t reserved = 0x07;
}  // namespace tnf

// Record header flags.
namespace ndef_flag {
inline constexpr std::uint8_t mb = 0x80;  // message begin
inline constexpr std::uint8_t me = 0x40;  // message end
inline constexpr std::uint8_t cf = 0x20;  // chunk follows
inline constexpr std::uint8_t sr = 0x10;  // short record: 1-byte payload length
inline constexpr std::uint8_t il = 0x08;  // ID length byte present
inline constexpr std::uint8_t tnf_mask = 0x07;
}  // namespace ndef_flag

// Whether type, ID and payload lengths suit the record's TNF: an empty record carries nothing, the
// unknown and unchanged formats carry no type, and the reserved format is never valid.
bool TnfAllowsLengths(std::uint8_t tnf, std::size_t typeLength, std::size_t idLength,
                      std::size_t payloadLength);
