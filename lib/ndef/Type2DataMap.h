// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Lock control and memory control TLVs of a type 2 tag name bytes of the tag's memory that hold
// no TLV data: dynamic lock bits, and areas the chip keeps for itself. Their value is three bytes:
// the position (page address in the high nibble, byte offset in the low one), the size (lock
// bits, or reserved bytes; 0 stands for 256) and the page control byte (bytes locked per lock bit
// in the high nibble, log2 of the bytes per page in the low one). The position in bytes is
// page address x 2^(bytes-per-page exponent) + byte offset, counted from page 0. Inside the data
// area these bytes are skipped by the TLVs that follow the control TLV, the NDEF message included:
// a message runs on over them, and writing it leaves them as they are.
namespace type2 {

// Offsets, in order, of the data area's bytes that carry TLVs: every byte of area (the data area,
// page 4 on) except those the control TLVs ahead of the NDEF TLV reserve. Parts of a reserved
// area outside the data area are ignored. ndef_bad_control_tlv for a control TLV whose length is
// not 3 or whose area covers bytes the TLVs already used; ndef_truncated for a control TLV that
// runs past the area. On failure usable holds nothing.
long UsableBytes(std::span<const std::uint8_t> area, std::vector<std::size_t>& usable);

// The bytes of area at the offsets usable, one after the other: the TLVs as if nothing were
// reserved.
std::vector<std::uint8_t> Gather(std::span<const std::uint8_t> area,
                                 std::span<const std::size_t> usable);

}  // namespace type2
