// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The NFC Forum type 2 tag layout (Ultralight, NTAG21x): page 3 holds the capability container
// E1 <version> <data area size / 8> <access>, and the data area from page 4 holds TLVs: NULL (00,
// no length), lock control (01), memory control (02), NDEF message (03), proprietary (FD) and the
// terminator (FE, no length). Lengths are one byte 00-FE, or FF and two bytes big-endian.
namespace type2 {

inline constexpr std::size_t page_size = 4;
inline constexpr std::uint8_t cc_page = 3;
inline constexpr std::uint8_t first_data_page = 4;
inline constexpr std::uint8_t ndef_magic = 0xE1;
inline constexpr std::uint8_t mapping_version = 0x10;  // 1.0
inline constexpr std::uint8_t access_read_write = 0x00;

namespace tlv {
inline constexpr std::uint8_t null = 0x00;
inline constexpr std::uint8_t lock_control = 0x01;
inline constexpr std::uint8_t memory_control = 0x02;
inline constexpr std::uint8_t ndef = 0x03;
inline constexpr std::uint8_t proprietary = 0xFD;
inline constexpr std::uint8_t terminator = 0xFE;
}  // namespace tlv

// Size in bytes of the data area the capability container announces, or 0 when page 3 is not an
// NDEF capability container (magic byte, major version 1).
std::size_t DataAreaSize(std::span<const std::uint8_t, 4> cc);
bool Writable(std::span<const std::uint8_t, 4> cc);

// Where the NDEF message TLV stands in the data area: offset of its T byte, the size of its
// length field (1 or 3) and the message's own offset and length.
struct NdefTlv {
  std::size_t tlvOffset = 0;
  std::size_t lengthSize = 1;
  std::size_t messageOffset = 0;
  std::size_t messageLength = 0;
};

// Finds the first NDEF TLV, stepping over NULL, control and proprietary TLVs. A length that runs
// past the data area gives ndef_truncated; a terminator or the end of the area before any NDEF
// TLV gives ndef_no_tlv, with found.tlvOffset where an NDEF TLV would go (the terminator or the
// end of the area).
long FindNdefTlv(std::span<const std::uint8_t> area, NdefTlv& found);

// The bytes to write from offset `at` of the data area to hold message: the NDEF TLV and, when
// there is room, a terminator. ndef_too_large when it does not fit the rest of the area.
long NdefTlvBytes(std::span<const std::uint8_t> message, std::size_t at, std::size_t areaSize,
                  std::vector<std::uint8_t>& bytes);

// The capability container for a tag whose data area holds areaSize bytes.
std::array<std::uint8_t, 4> CapabilityContainer(std::size_t areaSize);

}  // namespace type2
