// SPDX-License-Identifier: MIT
// Finding and reading the NDEF area of a Mifare Classic card through its directory.

#include "api/ClassicNdefArea.h"

#include <span>

#include "mifare/SectorGeometry.h"
#include "ndef/ClassicMad.h"
#include "status/StatusCodes.h"

namespace {

constexpr std::uint8_t kMadSector = 0;
constexpr std::uint8_t kMadTrailer = 3;
constexpr std::size_t kGpbByte = 9;
constexpr std::uint8_t kMadVersionMask = 0x03;

long ReadSector(ClassicCard& card, ClassicNdefArea& area, bool checkWritable) {
  const std::uint8_t sector = area.sectors[area.sectorsRead];
  if (const long status = card.Authenticate(sector, mad::ndef_key)) return status;
  if (const long status = card.ReadData(sector, area.bytes)) return status;
  if (checkWritable) {
    ClassicCard::Block trailer{};
    if (const long status = card.ReadBlock(GeometryOfSector(sector)->TrailerBlock(), trailer)) {
      return status;
    }
    if ((trailer[kGpbByte] & mad::gpb_write_access) != 0) return ndef_read_only;
  }
  ++area.sectorsRead;
  return 0;
}

}  // namespace

long ReadNdefDirectory(ClassicCard& card, ClassicNdefArea& area) {
  if (card.Authenticate(kMadSector, mad::mad_key) != 0) return ndef_no_tlv;
  std::vector<std::uint8_t> sector0;
  if (const long status = card.ReadData(kMadSector, sector0)) return status;
  ClassicCard::Block trailer{};
  if (const long status = card.ReadBlock(kMadTrailer, trailer)) return status;
  const std::uint8_t gpb = trailer[kGpbByte];
  if ((gpb & mad::gpb_mad_present) == 0) return ndef_no_tlv;
  const std::span<const std::uint8_t> mad1(sector0.data() + SectorGeometry::kBlockSize,
                                           mad::mad1_size);
  std::vector<std::uint8_t> mad2;
  switch (gpb & kMadVersionMask) {
    case 1:
      break;
    case 2:
      if (card.SectorCount() <= mad::mad2_sector) return mad_bad_entry;
      if (const long status = card.Authenticate(mad::mad2_sector, mad::mad_key)) return status;
      if (const long status = card.ReadData(mad::mad2_sector, mad2)) return status;
      break;
    default:
      return mad_bad_entry;
  }
  if (const long status = mad::NdefSectors(mad1, mad2, card.SectorCount(), area.sectors)) {
    return status;
  }
  if (area.sectors.empty()) return ndef_no_tlv;
  area.size = 0;
  for (const std::uint8_t sector : area.sectors) area.size += GeometryOfSector(sector)->DataSize();
  return 0;
}

long ReadUntilSettled(ClassicCard& card, ClassicNdefArea& area, bool checkWritable) {
  while (true) {
    const long scan = type2::FindNdefTlv(area.bytes, area.tlv);
    const bool terminated = scan == ndef_no_tlv && area.tlv.tlvOffset < area.bytes.size();
    if (scan == 0 || terminated || area.sectorsRead == area.sectors.size()) return scan;
    if (const long status = ReadSector(card, area, checkWritable)) return status;
  }
}

long ReadAtLeast(ClassicCard& card, ClassicNdefArea& area, std::size_t bytes, bool checkWritable) {
  while (area.bytes.size() < bytes && area.sectorsRead < area.sectors.size()) {
    if (const long status = ReadSector(card, area, checkWritable)) return status;
  }
  return 0;
}

std::uint8_t BlockOfUnit(const ClassicNdefArea& area, std::size_t unit, std::uint8_t& sector) {
  for (const std::uint8_t candidate : area.sectors) {
    const SectorGeometry geometry = *GeometryOfSector(candidate);
    if (unit < geometry.DataBlockCount()) {
      sector = candidate;
      return static_cast<std::uint8_t>(geometry.firstBlock + unit);
    }
    unit -= geometry.DataBlockCount();
  }
  sector = 0;
  return 0;
}
