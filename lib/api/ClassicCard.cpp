// SPDX-License-Identifier: MIT
// Selection, authentication and block access of the Classic card holding an NDEF message.

#include "api/ClassicCard.h"

#include <cstring>

#include "mifare/SectorGeometry.h"
#include "ndef/ClassicMad.h"
#include "norvexapi.h"
#include "status/StatusCodes.h"

namespace {

constexpr std::uint8_t kSakMini = 0x09;
constexpr std::uint8_t kSakClassic = 0x08;  // bit 3: Mifare Classic protocol
constexpr std::uint8_t kSak4K = 0x10;       // with bit 3: 4K memory

}  // namespace

long ClassicCard::Select() {
  std::uint32_t serial = 0;
  std::uint8_t atq[2] = {};
  std::uint8_t sak = 0;
  authenticatedSector_ = -1;
  if (const long status = SelectCard(session_, &serial, atq, &sak)) return status;
  std::memcpy(uid_.data(), &serial, uid_.size());
  if (sak == kSakMini) {
    sectorCount_ = mad::mini_sectors;
  } else if ((sak & kSakClassic) == 0) {
    return ndef_no_tlv;
  } else {
    sectorCount_ = (sak & kSak4K) != 0 ? mad::sectors_4k : mad::sectors_1k;
  }
  return 0;
}

long ClassicCard::Authenticate(std::uint8_t sector, const Key& key) {
  if (authenticatedSector_ == sector && authenticatedKey_ == key) return 0;
  _MIF_KEY_ record{MIF_KEY_TYPE_A, {}};
  std::memcpy(record.KeyValue, key.data(), key.size());
  authenticatedSector_ = -1;
  if (const long status = MifC_AuthSector(session_, &record, uid_.data(), sector)) {
    // A card that refuses a key stops answering until it is selected again.
    std::uint8_t uid[4] = {};
    MifC_GetCard(session_, uid);
    return status;
  }
  authenticatedSector_ = sector;
  authenticatedKey_ = key;
  return 0;
}

long ClassicCard::ReadData(std::uint8_t sector, std::vector<std::uint8_t>& out) {
  const std::uint8_t size = GeometryOfSector(sector)->DataSize();
  const std::size_t at = out.size();
  out.resize(at + size);
  return MifC_ReadSectorData(session_, out.data() + at, size, sector);
}

long ClassicCard::ReadBlock(std::uint8_t block, Block& out) {
  return MifC_ReadBlock(session_, block, out.data());
}

long ClassicCard::WriteBlock(std::uint8_t block, const std::uint8_t* data) {
  return MifC_WriteBlock(session_, block, data);
}
