// QVMifareObj: authenticated block, sector, whole-card and sector-trailer operations on one card.
// Each checks the block or sector number against the card's geometry and the key number, builds
// the authentication key from the card record and calls the library with the card's 4-byte UID.

#include <algorithm>

#include "MifareGeometry.h"
#include "QVMifareObj.h"

using mifare_geometry::SectorDataSize;

namespace {

constexpr uint8_t kKeyA = MIF_KEY_TYPE_A;
constexpr uint8_t kKeyB = MIF_KEY_TYPE_B;

// Library block and sector numbers are one byte.
uint8_t LowByte(int number) {
  return static_cast<uint8_t>(number & 0xFF);
}

}  // namespace

int QVMifareObj::ReadBlock(const QVMifareCard& card, int block, int keyNum,
                           std::span<uint8_t, 16> dataRead) {
  if (RejectNumber(block, card.GetCardInfo()->BlocksCount,
                   "QVMifareObj::ReadBlock -> Error: Invalid block number! Max Blocks: %d - Block "
                   "request to read: %d") ||
      RejectKey(keyNum,
                "QVMifareObj::ReadBlock -> Error: Invalid Key! Must be USE_KEY_A or "
                "USE_KEY_B")) {
    return -1;
  }
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum);
  const auto uid = CardId(card);
  std::fill(dataRead.begin(), dataRead.end(), 0);
  return static_cast<int>(
      MifC_ReadBlockAuth(hSess, &key, uid.data(), LowByte(block), dataRead.data()));
}

int QVMifareObj::WriteBlock(const QVMifareCard& card, int block, int keyNum,
                            std::span<const uint8_t, 16> dataToWrite) {
  if (RejectNumber(block, card.GetCardInfo()->BlocksCount,
                   "QVMifareObj::WriteBlock -> Error: Invalid block number! Max Blocks: %d - Block "
                   "request to write: %d") ||
      RejectKey(keyNum,
                "QVMifareObj::WriteBlock -> Error: Invalid Key! Must be USE_KEY_A or "
                "USE_KEY_B")) {
    return -1;
  }
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum);
  const auto uid = CardId(card);
  return static_cast<int>(
      MifC_WriteBlockAuth(hSess, &key, uid.data(), LowByte(block), dataToWrite.data()));
}

int QVMifareObj::EraseBlock(const QVMifareCard& card, int block, int keyNum) {
  const std::array<uint8_t, 16> zeros{};
  return WriteBlock(card, block, keyNum, zeros);
}

int QVMifareObj::ReadSector(const QVMifareCard& card, int sector, int keyNum, QByteArray& dataRead,
                            int& numBytes) {
  if (RejectNumber(sector, card.GetCardInfo()->SectorsCount,
                   "QVMifareObj::ReadSector -> Error: Invalid sector number! Max Sectors: %d - "
                   "Sector request to read: %d") ||
      RejectKey(keyNum,
                "QVMifareObj::ReadSector -> Error: Invalid Key! Must be USE_KEY_A or "
                "USE_KEY_B")) {
    return -1;
  }
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum);
  const auto uid = CardId(card);
  const int size = SectorDataSize(sector);
  dataRead.fill('\0', size);
  const long status =
      MifC_ReadSectorDataAuth(hSess, &key, uid.data(), reinterpret_cast<uint8_t*>(dataRead.data()),
                              static_cast<uint8_t>(size), LowByte(sector));
  numBytes = size;
  return static_cast<int>(status);
}

int QVMifareObj::WriteSector(const QVMifareCard& card, int sector, int keyNum,
                             const QByteArray& dataToWrite) {
  if (RejectNumber(sector, card.GetCardInfo()->SectorsCount,
                   "QVMifareObj::WriteSector -> Error: Invalid sector number! Max Sectors: %d - "
                   "Sector request to read: %d") ||
      RejectKey(keyNum,
                "QVMifareObj::WriteSector -> Error: Invalid Key! Must be USE_KEY_A or "
                "USE_KEY_B")) {
    return -1;
  }
  const int size = SectorDataSize(sector);
  if (dataToWrite.size() < size) {
    StoreAndDisplay(QString::asprintf(
        "QVMifareObj::WriteSector -> Error: Not enough data! Bytes needed: %d - Bytes given: %d",
        size, static_cast<int>(dataToWrite.size())));
    return -1;
  }
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum);
  const auto uid = CardId(card);
  return static_cast<int>(MifC_WriteSectorDataAuth(
      hSess, &key, uid.data(), reinterpret_cast<const uint8_t*>(dataToWrite.constData()),
      static_cast<uint8_t>(size), LowByte(sector)));
}

int QVMifareObj::EraseSector(const QVMifareCard& card, int sector, int keyNum) {
  return WriteSector(card, sector, keyNum, QByteArray(mifare_geometry::kLargeSectorData, '\0'));
}

int QVMifareObj::ReadAllSector(const QVMifareCard& card, QByteArray& dataRead, int keyNum) {
  dataRead.clear();
  const int sectors = card.GetCardInfo()->SectorsCount;
  for (int sector = 0; sector < sectors; ++sector) {
    QByteArray work;
    int numBytes = 0;
    const int status = ReadSector(card, sector, keyNum, work, numBytes);
    if (status != 0) return status;
    dataRead.append(work.constData(), numBytes);
  }
  return 0;
}

int QVMifareObj::WriteAllSector(const QVMifareCard& card, const QByteArray& withData, int keyNum) {
  const int sectors = card.GetCardInfo()->SectorsCount;
  const int needed = mifare_geometry::CardImageSize(sectors);
  // A short image is refused before anything is written, so no sector gets invented data.
  if (withData.size() < needed) {
    StoreAndDisplay(QString::asprintf(
        "QVMifareObj::WriteAllSector -> Error: Not enough data! Bytes needed: %d - Bytes given: %d",
        needed, static_cast<int>(withData.size())));
    return -1;
  }
  qsizetype offset = 0;
  for (int sector = 0; sector < sectors; ++sector) {
    const int size = SectorDataSize(sector);
    const int status = WriteSector(card, sector, keyNum, withData.mid(offset, size));
    if (status != 0) return status;
    offset += size;
  }
  return 0;
}

int QVMifareObj::ReadACL(const QVMifareCard& card, int sector, int keyNum,
                         std::span<uint8_t, 4> dataRead, _MIF_KEY_& keyRead) {
  if (RejectNumber(sector, card.GetCardInfo()->SectorsCount,
                   "QVMifareObj::ReadACL -> Error: Invalid sector number! Max Sectors: %d - "
                   "Sector request to read: %d") ||
      RejectKey(keyNum,
                "QVMifareObj::ReadACL -> Error: Invalid Key! Must be USE_KEY_A or "
                "USE_KEY_B")) {
    return -1;
  }
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum);
  const auto uid = CardId(card);
  std::fill(dataRead.begin(), dataRead.end(), 0);
  _MIF_KEY_ scratchKeyA{};
  return static_cast<int>(MifC_GetSectorTrailerAuth2(hSess, &key, uid.data(), LowByte(sector),
                                                     dataRead.data(), &scratchKeyA, &keyRead));
}

int QVMifareObj::WriteACL(const QVMifareCard& card, int sector, const _MIF_KEY_& withKey,
                          std::span<const uint8_t, 4> dataWrite, const _MIF_KEY_& keyA,
                          const _MIF_KEY_& keyB) {
  if (RejectNumber(sector, card.GetCardInfo()->SectorsCount,
                   "QVMifareObj::WriteACL -> Error: Invalid sector number! Max Sectors: %d - "
                   "Sector request to read: %d")) {
    return -1;
  }
  const auto uid = CardId(card);
  return static_cast<int>(MifC_WriteSectorTrailerAuth(hSess, LowByte(sector), &withKey, uid.data(),
                                                      dataWrite.data(), &keyA, &keyB));
}

bool QVMifareObj::RejectNumber(int number, int limit, const char* rangeFormat) {
  // A negative number would reach the card as a high block or sector (-1 as 255): refused too.
  if (number >= 0 && number < limit) return false;
  StoreAndDisplay(QString::asprintf(rangeFormat, limit, number));
  return true;
}

bool QVMifareObj::RejectKey(int keyNum, const char* keyMessage) {
  if (keyNum == kKeyA || keyNum == kKeyB) return false;
  StoreAndDisplay(QString::fromLatin1(keyMessage));
  return true;
}

_MIF_KEY_ QVMifareObj::AuthenticationKey(const QVMifareCard& card, int keyNum) {
  _MIF_KEY_ key{};
  key.KeyType = static_cast<uint8_t>(keyNum);
  if (keyNum == kKeyA) {
    card.GetKeyA(key.KeyValue);
  } else {
    card.GetKeyB(key.KeyValue);
  }
  return key;
}
