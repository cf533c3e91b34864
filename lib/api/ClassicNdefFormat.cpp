// SPDX-License-Identifier: MIT
// Formatting a blank Mifare Classic card (transport key FF FF FF FF FF FF on every sector) as an
// NFC Forum tag: every sector but the directory's becomes an NDEF sector (public key A
// D3F7D3F7D3F7, access 7F 07 88, general-purpose byte 40), the first one holding an empty NDEF
// message; then the directory sectors get MAD2 (4K cards, sector 16) and MAD1 (sector 0) with the
// public key A A0A1A2A3A4A5, access 78 77 88 and the general-purpose byte naming the MAD version.
// Key B stays the transport key. The directory comes last, so that a card leaving the field
// mid-format announces no NDEF sector that is not ready. Keys and access bits cannot be changed
// back with the public keys: this is the one place that writes trailers.

#include <algorithm>
#include <array>
#include <span>

#include "api/ClassicCard.h"
#include "api/ClassicNdefArea.h"
#include "mifare/SectorGeometry.h"
#include "ndef/ClassicMad.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

namespace {

using Block = ClassicCard::Block;

constexpr std::uint8_t kMadSector = 0;
constexpr std::uint8_t kNdefTlv = 0x03, kTerminator = 0xFE;

Block Trailer(const ClassicCard::Key& keyA, const std::array<std::uint8_t, 3>& access,
              std::uint8_t gpb) {
  Block trailer{};
  std::copy(keyA.begin(), keyA.end(), trailer.begin());
  std::copy(access.begin(), access.end(), trailer.begin() + 6);
  trailer[9] = gpb;
  std::copy(mad::transport_key.begin(), mad::transport_key.end(), trailer.begin() + 10);
  return trailer;
}

// Writes blocks (the sector's first ones, 16 bytes each) and then the trailer of sector, after
// authenticating it with the transport key.
long FormatSector(ClassicCard& card, std::uint8_t sector, std::span<const std::uint8_t> blocks,
                  const Block& trailer) {
  const SectorGeometry geometry = *GeometryOfSector(sector);
  if (const long status = card.Authenticate(sector, mad::transport_key)) return status;
  for (std::size_t i = 0; i * SectorGeometry::kBlockSize < blocks.size(); ++i) {
    const auto block = static_cast<std::uint8_t>(geometry.firstBlock + i);
    if (const long status = card.WriteBlock(block, &blocks[i * SectorGeometry::kBlockSize])) {
      return status;
    }
  }
  return card.WriteBlock(geometry.TrailerBlock(), trailer.data());
}

long FormatBlank(ClassicCard& card) {
  const unsigned sectors = card.SectorCount();
  const bool mad2 = sectors > mad::mad2_sector;
  const std::uint8_t gpb = mad2 ? mad::gpb_mad2 : mad::gpb_mad1;
  const Block ndefTrailer = Trailer(mad::ndef_key, mad::ndef_access, mad::gpb_ndef);
  const Block emptyMessage{kNdefTlv, 0x00, kTerminator};
  for (unsigned sector = 1; sector < sectors; ++sector) {
    if (sector == mad::mad2_sector) continue;
    const std::span<const std::uint8_t> data =
        sector == 1 ? std::span<const std::uint8_t>(emptyMessage) : std::span<const std::uint8_t>();
    if (const long status =
            FormatSector(card, static_cast<std::uint8_t>(sector), data, ndefTrailer)) {
      return status;
    }
  }
  const Block madTrailer = Trailer(mad::mad_key, mad::mad_access, gpb);
  if (mad2) {
    const auto directory = mad::NdefMad2();
    if (const long status = FormatSector(card, mad::mad2_sector, directory, madTrailer)) {
      return status;
    }
  }
  // MAD1 fills blocks 1 and 2; block 0 (manufacturer data) is not written.
  const auto directory = mad::NdefMad1(sectors);
  if (const long status = card.Authenticate(kMadSector, mad::transport_key)) return status;
  for (std::uint8_t block = 1; block <= 2; ++block) {
    const std::uint8_t* data = &directory[(block - 1) * SectorGeometry::kBlockSize];
    if (const long status = card.WriteBlock(block, data)) return status;
  }
  return card.WriteBlock(GeometryOfSector(kMadSector)->TrailerBlock(), madTrailer.data());
}

}  // namespace

extern "C" {

long MifC_FormatNdef(void* session) try {
  ClassicCard card(session);
  if (const long status = card.Select()) return status;
  const long blank = card.Authenticate(kMadSector, mad::transport_key);
  if (blank == 0) return FormatBlank(card);
  // A card already formatted for NDEF is left with an empty message, like a fresh one.
  ClassicNdefArea area;
  if (ReadNdefDirectory(card, area) != 0) return blank;
  return MifC_EraseNdef(session);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
