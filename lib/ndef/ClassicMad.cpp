// SPDX-License-Identifier: MIT
// Checking and building the Mifare application directory of an NDEF-formatted Classic card.

#include "ndef/ClassicMad.h"

#include <algorithm>

#include "status/StatusCodes.h"

namespace mad {

namespace {

constexpr std::uint8_t kPublisherMask = 0x3F;

bool IsNdef(std::span<const std::uint8_t> entry) {
  return entry[0] == ndef_entry[0] && entry[1] == ndef_entry[1];
}

// Checks one directory (CRC, info byte, entries) and appends the sectors whose entry is NDEF.
// Entries describe sectors firstSector on; an entry other than 00 00 (free) for a sector the card
// does not have is refused.
long ReadDirectory(std::span<const std::uint8_t> mad, unsigned firstSector, unsigned sectorCount,
                   std::vector<std::uint8_t>& ndef) {
  if (Crc8(mad.subspan(1)) != mad[0]) return mad_bad_crc;
  const unsigned publisher = mad[1] & kPublisherMask;
  const unsigned entries = static_cast<unsigned>(mad.size() - 2) / 2;
  const bool publisherOutside =
      publisher >= sectorCount || publisher < firstSector || publisher >= firstSector + entries;
  if (publisher != 0 && publisherOutside) return mad_bad_entry;
  for (unsigned i = 0; i < entries; ++i) {
    const auto entry = mad.subspan(2 + 2 * i, 2);
    const unsigned sector = firstSector + i;
    const bool used = entry[0] != 0 || entry[1] != 0;
    if (used && sector >= sectorCount) return mad_bad_entry;
    if (IsNdef(entry)) ndef.push_back(static_cast<std::uint8_t>(sector));
  }
  return 0;
}

}  // namespace

std::uint8_t Crc8(std::span<const std::uint8_t> bytes) {
  std::uint8_t crc = 0xC7;
  for (const std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x1D : crc << 1);
    }
  }
  return crc;
}

long NdefSectors(std::span<const std::uint8_t> mad1, std::span<const std::uint8_t> mad2,
                 unsigned sectorCount, std::vector<std::uint8_t>& sectors) {
  sectors.clear();
  if (mad1.size() != mad1_size || (!mad2.empty() && mad2.size() != mad2_size)) {
    return mad_bad_entry;
  }
  if (!mad2.empty() && sectorCount <= mad2_sector) return mad_bad_entry;
  std::vector<std::uint8_t> named;
  if (const long status = ReadDirectory(mad1, 1, sectorCount, named)) return status;
  if (!mad2.empty()) {
    if (const long status = ReadDirectory(mad2, mad2_sector + 1, sectorCount, named)) {
      return status;
    }
  }
  // The message runs through consecutive NDEF sectors; sector 16 is the directory's and does
  // not break the run.
  for (const std::uint8_t sector : named) {
    if (!sectors.empty()) {
      const unsigned next =
          sectors.back() + 1u == mad2_sector ? mad2_sector + 1 : sectors.back() + 1u;
      if (sector != next) break;
    }
    sectors.push_back(sector);
  }
  return 0;
}

std::array<std::uint8_t, mad1_size> NdefMad1(unsigned sectorCount) {
  std::array<std::uint8_t, mad1_size> mad{};
  mad[1] = 0x01;
  const unsigned last = std::min(sectorCount, mad1_entries + 1);
  for (unsigned sector = 1; sector < last; ++sector) {
    std::copy(ndef_entry.begin(), ndef_entry.end(), mad.begin() + 2 * sector);
  }
  mad[0] = Crc8(std::span(mad).subspan(1));
  return mad;
}

std::array<std::uint8_t, mad2_size> NdefMad2() {
  std::array<std::uint8_t, mad2_size> mad{};
  for (unsigned i = 0; i < mad2_entries; ++i) {
    std::copy(ndef_entry.begin(), ndef_entry.end(), mad.begin() + 2 + 2 * i);
  }
  mad[0] = Crc8(std::span(mad).subspan(1));
  return mad;
}

}  // namespace mad
