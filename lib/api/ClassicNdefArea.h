// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "api/ClassicCard.h"
#include "ndef/Type2Tlv.h"

// The NDEF area of a Mifare Classic card: the data blocks of the NDEF sectors the directory
// names, one after the other, trailers left out. The TLVs run across it as on a type 2 tag.
struct ClassicNdefArea {
  std::vector<std::uint8_t> sectors;  // the NDEF sectors, in order
  std::size_t size = 0;               // bytes of data in all of them
  std::vector<std::uint8_t> bytes;    // the data read so far, from the first sector on
  std::size_t sectorsRead = 0;
  type2::NdefTlv tlv;  // where the scan of bytes found the NDEF TLV
};

// Reads the directory of the selected card: MAD1 and, when sector 0's general-purpose byte names
// version 2, MAD2. ndef_no_tlv when the directory sector does not open with the public MAD key,
// its general-purpose byte announces no MAD, or no sector holds NDEF data; mad_bad_crc and
// mad_bad_entry for a directory that is not to be trusted.
long ReadNdefDirectory(ClassicCard& card, ClassicNdefArea& area);

// Reads NDEF sectors until the TLV scan is settled: the NDEF TLV is whole, a terminator ends the
// TLVs, or every sector is read. Returns the scan's status (0, ndef_no_tlv, ndef_truncated).
// With checkWritable each sector's general-purpose byte is checked too: ndef_read_only when it
// denies writes.
long ReadUntilSettled(ClassicCard& card, ClassicNdefArea& area, bool checkWritable);
// Reads further sectors until at least `bytes` bytes of the area are read (or all of it).
long ReadAtLeast(ClassicCard& card, ClassicNdefArea& area, std::size_t bytes, bool checkWritable);

// Block number of data unit `unit` (16 bytes) of the area, and the sector it lies in.
std::uint8_t BlockOfUnit(const ClassicNdefArea& area, std::size_t unit, std::uint8_t& sector);
