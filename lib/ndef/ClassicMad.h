// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The Mifare application directory (MAD) of a Mifare Classic card holding NFC Forum NDEF data.
// MAD1 fills blocks 1 and 2 of sector 0: a CRC-8, the info byte (bits 5-0: the card publisher
// sector, 0 for none) and 15 two-byte entries for sectors 1-15. MAD2, on 4K cards, fills the three
// data blocks of sector 16: CRC, info byte and 23 entries for sectors 17-39. An entry is stored
// application code first, function cluster second; an NDEF sector holds 03 E1 (NFC Forum
// cluster E1). Sector 0 and sector 16 belong to the directory and never hold NDEF data.
namespace mad {

inline constexpr std::size_t mad1_size = 32;  // blocks 1-2
inline constexpr std::size_t mad2_size = 48;  // blocks 64-66
inline constexpr unsigned mad1_entries = 15;
inline constexpr unsigned mad2_sector = 16;
inline constexpr unsigned mad2_entries = 23;
inline constexpr unsigned mini_sectors = 5, sectors_1k = 16, sectors_4k = 40;
inline constexpr std::array<std::uint8_t, 2> ndef_entry = {0x03, 0xE1};

// Public keys A: the directory sectors and the NDEF sectors.
inline constexpr std::array<std::uint8_t, 6> mad_key = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
inline constexpr std::array<std::uint8_t, 6> ndef_key = {0xD3, 0xF7, 0xD3, 0xF7, 0xD3, 0xF7};
// The factory key of every sector of a blank card.
inline constexpr std::array<std::uint8_t, 6> transport_key = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Access bytes of the directory sectors (data written with key B only, key A reads) and of the
// NDEF sectors (data read and written with either key); both let key B alone change the trailer.
inline constexpr std::array<std::uint8_t, 3> mad_access = {0x78, 0x77, 0x88};
inline constexpr std::array<std::uint8_t, 3> ndef_access = {0x7F, 0x07, 0x88};
// General-purpose byte of sector 0: bit 7 MAD present, bit 6 multi-application, bits 1-0 the
// MAD version. Of an NDEF sector: mapping version 1.0, read and write access free.
inline constexpr std::uint8_t gpb_mad_present = 0x80;
inline constexpr std::uint8_t gpb_mad1 = 0xC1, gpb_mad2 = 0xC2;
inline constexpr std::uint8_t gpb_ndef = 0x40;
inline constexpr std::uint8_t gpb_write_access = 0x03;  // nonzero: the NDEF sector is read-only

// CRC-8 of the directory: polynomial 0x1D, initial value 0xC7, no reflection, no final XOR.
std::uint8_t Crc8(std::span<const std::uint8_t> bytes);

// The NDEF sectors the directory names on a card of sectorCount sectors (5, 16 or 40): the first
// run of consecutive sectors whose entry is 03 E1, in order (stepping over sector 16). mad2 is
// empty for a MAD1 card. A CRC that does not match gives mad_bad_crc; an info byte or a used entry
// that names a sector the card does not have, or a MAD of the wrong size, gives mad_bad_entry.
long NdefSectors(std::span<const std::uint8_t> mad1, std::span<const std::uint8_t> mad2,
                 unsigned sectorCount, std::vector<std::uint8_t>& sectors);

// The directory of a card whose every sector but the directory's own holds NDEF data: MAD1 with
// info byte 01 and, on a 4K card, MAD2 with info byte 00.
std::array<std::uint8_t, mad1_size> NdefMad1(unsigned sectorCount);
std::array<std::uint8_t, mad2_size> NdefMad2();

}  // namespace mad
