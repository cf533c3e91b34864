// SPDX-License-Identifier: MIT
// QVMifareObj: settings, the message slot, reader connection, card selection, and the
// authenticated block, sector, whole-card and sector-trailer operations on one card. Each card
// operation checks the block or sector number against the card's geometry and the key number,
// builds the authentication key from the card record and calls the library with the card's
// 4-byte UID.

#include "QVMifareObj.h"

#include <algorithm>

#include "CardTypeDetection.h"
#include "MifareGeometry.h"
#include "dump/CardType.h"
#include "dump/Hex.h"
#include "dump/TypeBPoll.h"

namespace {

constexpr int kUsbInterface = NORVEX_INTERFACE_USB;
constexpr int kReselectAttempts = 20;
// Cards one scan tick selects at most, and how long the field is off after it.
constexpr int kMaxCardsPerScan = 8;
constexpr uint16_t kFieldResetMs = 5;
const QString kAlertTitle = QStringLiteral("Informazioni");
constexpr uint8_t kKeyA = MIF_KEY_TYPE_A;
constexpr uint8_t kKeyB = MIF_KEY_TYPE_B;

using mifare_geometry::SectorDataSize;

// Library block and sector numbers are one byte.
uint8_t LowByte(int number) {
  return static_cast<uint8_t>(number & 0xFF);
}

}  // namespace

QVMifareObj::QVMifareObj() {
  initialize();
}

QVMifareObj::~QVMifareObj() {
  if (hSess != nullptr) {
    DisconnectReader(hSess);
    ReleaseSession(hSess);
  }
}

void QVMifareObj::initialize() {
  nIDKestrinReader = kReaderTR10;
  bIsDebug = true;
  nDelayWaitCard = 100;
  nCardsInRF = 0;
  hSess = nullptr;
  msgErr.clear();
  paCards.clear();
  paCard.reset();
  saMifareCardTypes = {QStringLiteral("MIFARE ultralight"), QStringLiteral("MIFARE Standard 1K"),
                       QStringLiteral("MIFARE Standard 4K"), QStringLiteral("MIFARE DESFire")};
  saKestrinReader = {QStringLiteral("TR10"), QStringLiteral("TR20")};
  alert = [](const QString& title, const QString& text) { RunModalAlert(title, text); };
}

void QVMifareObj::SetReaderToUse(int modelIndex) {
  if (modelIndex == 0) nIDKestrinReader = kReaderTR10;
  if (modelIndex == 1) nIDKestrinReader = kReaderTR20;
}

void QVMifareObj::DisplayMsgErr() {
  if (bIsDebug && alert) alert(kAlertTitle, msgErr);
}

void QVMifareObj::ForceDisplayMsgErr() {
  // In debug mode the message was shown when it was stored.
  if (bIsDebug) return;
  bIsDebug = true;
  DisplayMsgErr();
  bIsDebug = false;
}

void QVMifareObj::SetAlertHandler(AlertHandler handler) {
  alert = std::move(handler);
}

void QVMifareObj::ClearData() {
  paCards.clear();
  nCardsInRF = 0;
}

bool QVMifareObj::ConnectToReader(int readerId, const QString& portName) {
  ClearData();
  nIDKestrinReader = readerId;
  return Connect(portName);
}

bool QVMifareObj::ConnectToReader() {
  ClearData();
  return Connect(QStringLiteral("USB_0"));
}

bool QVMifareObj::Connect(const QString& portName) {
  if (hSess != nullptr) {
    StoreAndDisplay(QString::asprintf(
        "QVMifareObj::ConnectToReader ->Reader %X already connected on USB_0.", nIDKestrinReader));
    return true;
  }
  hSess = CreateSession();
  if (hSess == nullptr) {
    StoreAndDisplay(QStringLiteral("QVMifareObj::ConnectToReader -> Error: Can not get session."));
    return false;
  }
  // Every session of the object reports its reader traffic to the same callback.
  if (traceCallback != nullptr) SetTraceCallback(hSess, traceCallback, traceContext);
  QByteArray port = portName.toLatin1();
  const long status = ConnectReader(hSess, kUsbInterface, port.data(), nIDKestrinReader);
  if (status != 0) {
    StoreAndDisplay(
        QStringLiteral("QVMifareObj::ConnectToReader -> Error: Cannot connect the reader ") +
        QString::fromLatin1(GetErrorText(static_cast<int>(status))));
    ReleaseSession(hSess);
    hSess = nullptr;
    return false;
  }
  StoreAndDisplay(QString::asprintf("QVMifareObj::ConnectToReader ->Reader %X connected on USB_0.",
                                    nIDKestrinReader));
  return true;
}

void QVMifareObj::DisconnectToReader() {
  StoreAndDisplay(QString::asprintf(
      "QVMifareObj::DisconnectToReader ->Reader %X  disconnected on USB_0", nIDKestrinReader));
  DisconnectReader(hSess);
  ReleaseSession(hSess);
  hSess = nullptr;
}

int QVMifareObj::SelectAidleCard() {
  ChipIDSize = kUidCapacity;
  const long status = SelectIdleCard(hSess, ChipID.data(), &ChipIDSize, ATQ.data(), &ATS);
  if (status != 0) return static_cast<int>(status);
  paCard = std::make_shared<QVMifareCard>();
  FillCQVMifareCardInfo();
  const auto registered = std::find_if(paCards.cbegin(), paCards.cend(),
                                       [this](const auto& card) { return card->equalTo(*paCard); });
  if (registered == paCards.cend()) {
    paCards.append(paCard);
    ++nCardsInRF;
    seenInScan.append(paCard);
  } else {
    seenInScan.append(*registered);
  }
  return 0;
}

int QVMifareObj::RegisterCardsInField() {
  // Anticollision always prefers the same UID bits, and a card that has just been selected sits
  // out only the next request: with three cards one of them could lose every time and never be
  // listed. So each card found is halted, letting the next request reach the cards behind it, and
  // a short field reset then brings every card back to idle for the card operations.
  // Type B cards are polled after them and halted likewise (a type A request does not reach them).
  int found = 0;
  seenInScan.clear();
  while (found < kMaxCardsPerScan && SelectAidleCard() == 0) {
    HaltCard(hSess);
    ++found;
  }
  found += RegisterTypeBCards();
  if (found > 0) RfReset(hSess, kFieldResetMs);
  for (const auto& card : paCards)
    card->SetMissedScans(seenInScan.contains(card) ? 0 : card->MissedScans() + 1);
  return found;
}

int QVMifareObj::RegisterTypeBCards() {
  constexpr int kPupiOffset = 1;
  constexpr int kPupiSize = 4;
  const auto answers = norvex::dump::pollTypeBCards(hSess);
  for (const std::vector<uint8_t>& answer : answers) {
    auto card = std::make_shared<QVMifareCard>();
    const QByteArray atqb(reinterpret_cast<const char*>(answer.data()),
                          static_cast<qsizetype>(answer.size()));
    card->SetUid(QString::fromStdString(
        norvex::hex::encode(std::span(answer).subspan(kPupiOffset, kPupiSize))));
    card->SetKind(QString::fromStdString(norvex::dump::kTypeBCard.kind));
    card->SetCardType(QString::fromStdString(norvex::dump::kTypeBCard.name));
    card->SetAtqb(atqb);
    // Protocol info, second byte, bit 1: the card speaks ISO 14443-4.
    constexpr int kProtocolTypeAt = 10;
    card->GetCardInfo()->HasPart4 =
        answer.size() > kProtocolTypeAt && (answer[kProtocolTypeAt] & 0x01) != 0 ? 1 : 0;
    const auto registered =
        std::find_if(paCards.cbegin(), paCards.cend(),
                     [&card](const auto& known) { return known->equalTo(*card); });
    if (registered != paCards.cend()) {
      seenInScan.append(*registered);
      continue;
    }
    paCards.append(card);
    seenInScan.append(card);
    ++nCardsInRF;
  }
  return static_cast<int>(answers.size());
}

void QVMifareObj::FillCQVMifareCardInfo() {
  if (!paCard) paCard = std::make_shared<QVMifareCard>();
  const std::size_t uidLength = std::min<std::size_t>(ChipIDSize, ChipID.size());
  SetErrorMsg(
      DetectCardType(std::span<const uint8_t>(ChipID.data(), uidLength), ATQ, ATS, *paCard));
  DisplayMsgErr();
}

bool QVMifareObj::SearchCard(const QVMifareCard& card) const {
  return std::any_of(paCards.cbegin(), paCards.cend(),
                     [&card](const auto& registered) { return registered->equalTo(card); });
}

int QVMifareObj::SelectACard(const QVMifareCard& card) {
  if (card.IsTypeB()) return SelectTypeBCard(card);
  // The whole UID tells the card apart: two cards may share their first four UID bytes.
  const QByteArray wanted = card.UidBytes();
  // From a fresh field, so that cards halted by an earlier reselection answer again. Anticollision
  // prefers the same UID bits every time: another card that wins is halted, so that it cannot win
  // every later round too and hide the wanted one (the next scan's field reset wakes it).
  if (const long reset = RfReset(hSess, kFieldResetMs); reset != 0) return static_cast<int>(reset);
  long status = 0;
  for (int attempt = 0; attempt < kReselectAttempts; ++attempt) {
    ChipIDSize = kUidCapacity;
    status = SelectIdleCard(hSess, ChipID.data(), &ChipIDSize, ATQ.data(), &ATS);
    if (status == 0 && LastUid() == wanted) return 0;
    if (status == 0) HaltCard(hSess);
  }
  // Only other cards answered: the wanted one has left.
  return status != 0 ? static_cast<int>(status) : NORVEX_E_NO_CARD_IN_RF;
}

int QVMifareObj::SelectTypeBCard(const QVMifareCard& card) {
  const QByteArray pupi = card.UidBytes();
  if (pupi.size() != 4) return NORVEX_E_NO_CARD_IN_RF;
  std::array<uint8_t, 4> wanted{};
  std::copy(pupi.begin(), pupi.end(), wanted.begin());
  if (!norvex::dump::wakeTypeBCard(hSess, wanted)) return NORVEX_E_NO_CARD_IN_RF;
  std::copy(wanted.begin(), wanted.end(), ChipID.begin());
  ChipIDSize = static_cast<uint8_t>(wanted.size());
  return 0;
}

bool QVMifareObj::ReselectCard(const QVMifareCard& card) {
  if (SelectACard(card) != 0) return false;
  // Twenty attempts that found only other cards still end with status 0: the card is selected
  // only when the whole UID that answered last is its own.
  return LastUid() == card.UidBytes();
}

void QVMifareObj::RemoveCard(const QVMifareCard& card) {
  const auto it = std::find_if(paCards.begin(), paCards.end(), [&card](const auto& registered) {
    return registered->equalTo(card);
  });
  if (it == paCards.end()) return;
  paCards.erase(it);
  --nCardsInRF;
}

void QVMifareObj::HaltTheCard() {
  HaltCard(hSess);
}

QByteArray QVMifareObj::LastUid() const {
  const std::size_t length = std::min<std::size_t>(ChipIDSize, ChipID.size());
  return QByteArray(reinterpret_cast<const char*>(ChipID.data()), static_cast<qsizetype>(length));
}

void QVMifareObj::StoreAndDisplay(const QString& message) {
  SetErrorMsg(message);
  DisplayMsgErr();
}

std::array<uint8_t, 4> QVMifareObj::CardId(const QVMifareCard& card) {
  std::array<uint8_t, 4> id{};
  std::copy_n(card.GetCardInfo()->ChipID.Mif_UID, id.size(), id.begin());
  return id;
}

int QVMifareObj::ReadBlock(const QVMifareCard& card, int block, int keyNum,
                           std::span<uint8_t, 16> dataRead) {
  if (RejectBlock("ReadBlock", "read", card, block) || RejectKey("ReadBlock", keyNum)) return -1;
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum, SectorOfBlock(block));
  const auto uid = CardId(card);
  std::fill(dataRead.begin(), dataRead.end(), 0);
  return static_cast<int>(
      MifC_ReadBlockAuth(hSess, &key, uid.data(), LowByte(block), dataRead.data()));
}

int QVMifareObj::WriteBlock(const QVMifareCard& card, int block, int keyNum,
                            std::span<const uint8_t, 16> dataToWrite) {
  if (RejectBlock("WriteBlock", "write", card, block) || RejectKey("WriteBlock", keyNum)) return -1;
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum, SectorOfBlock(block));
  const auto uid = CardId(card);
  return static_cast<int>(
      MifC_WriteBlockAuth(hSess, &key, uid.data(), LowByte(block), dataToWrite.data()));
}

int QVMifareObj::EraseBlock(const QVMifareCard& card, int block, int keyNum) {
  const std::array<uint8_t, 16> zeros{};
  return WriteBlock(card, block, keyNum, zeros);
}

std::array<uint8_t, 6> QVMifareObj::KeyFor(const QVMifareCard& card, int sector, int keyNum) const {
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum, sector);
  std::array<uint8_t, 6> value{};
  std::copy(std::begin(key.KeyValue), std::end(key.KeyValue), value.begin());
  return value;
}

int QVMifareObj::AuthSector(const QVMifareCard& card, int sector, int keyNum,
                            const std::array<uint8_t, 6>& key) {
  if (RejectSector("AuthSector", card, sector) || RejectKey("AuthSector", keyNum)) return -1;
  _MIF_KEY_ record{};
  record.KeyType = static_cast<uint8_t>(keyNum);
  std::copy(key.begin(), key.end(), record.KeyValue);
  const auto uid = CardId(card);
  return static_cast<int>(MifC_AuthSector(hSess, &record, uid.data(), LowByte(sector)));
}

int QVMifareObj::ReadSector(const QVMifareCard& card, int sector, int keyNum, QByteArray& dataRead,
                            int& numBytes) {
  if (RejectSector("ReadSector", card, sector) || RejectKey("ReadSector", keyNum)) return -1;
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum, sector);
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
  if (RejectSector("WriteSector", card, sector) || RejectKey("WriteSector", keyNum)) return -1;
  const int size = SectorDataSize(sector);
  if (RejectShort("WriteSector", size, dataToWrite.size())) return -1;
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum, sector);
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
  if (RejectShort("WriteAllSector", needed, withData.size())) return -1;
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
  if (RejectSector("ReadACL", card, sector) || RejectKey("ReadACL", keyNum)) return -1;
  const _MIF_KEY_ key = AuthenticationKey(card, keyNum, sector);
  const auto uid = CardId(card);
  std::fill(dataRead.begin(), dataRead.end(), 0);
  _MIF_KEY_ scratchKeyA{};
  return static_cast<int>(MifC_GetSectorTrailerAuth2(hSess, &key, uid.data(), LowByte(sector),
                                                     dataRead.data(), &scratchKeyA, &keyRead));
}

int QVMifareObj::WriteACL(const QVMifareCard& card, int sector, const _MIF_KEY_& withKey,
                          std::span<const uint8_t, 4> dataWrite, const _MIF_KEY_& keyA,
                          const _MIF_KEY_& keyB) {
  if (RejectSector("WriteACL", card, sector)) return -1;
  const auto uid = CardId(card);
  return static_cast<int>(MifC_WriteSectorTrailerAuth(hSess, LowByte(sector), &withKey, uid.data(),
                                                      dataWrite.data(), &keyA, &keyB));
}

bool QVMifareObj::RejectBlock(const char* operation, const char* verb, const QVMifareCard& card,
                              int block) {
  const int limit = card.GetCardInfo()->BlocksCount;
  if (InRange(block, limit)) return false;
  StoreAndDisplay(QString::asprintf(
      "QVMifareObj::%s -> Error: Invalid block number! Max Blocks: %d - Block request to %s: %d",
      operation, limit, verb, block));
  return true;
}

bool QVMifareObj::RejectSector(const char* operation, const QVMifareCard& card, int sector) {
  const int limit = card.GetCardInfo()->SectorsCount;
  if (InRange(sector, limit)) return false;
  // Every sector operation's message says "request to read", the writes' too.
  StoreAndDisplay(QString::asprintf(
      "QVMifareObj::%s -> Error: Invalid sector number! Max Sectors: %d - Sector request to read: "
      "%d",
      operation, limit, sector));
  return true;
}

bool QVMifareObj::RejectShort(const char* operation, int needed, qsizetype given) {
  if (given >= needed) return false;
  StoreAndDisplay(QString::asprintf(
      "QVMifareObj::%s -> Error: Not enough data! Bytes needed: %d - Bytes given: %d", operation,
      needed, static_cast<int>(given)));
  return true;
}

bool QVMifareObj::InRange(int number, int limit) {
  // A negative number would reach the card as a high block or sector (-1 as 255): refused too.
  return number >= 0 && number < limit;
}

bool QVMifareObj::RejectKey(const char* operation, int keyNum) {
  if (keyNum == kKeyA || keyNum == kKeyB) return false;
  StoreAndDisplay(QString::asprintf(
      "QVMifareObj::%s -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B", operation));
  return true;
}

void QVMifareObj::SetSectorKey(const QString& uid, int sector, int keyNum,
                               const std::array<uint8_t, 6>& key) {
  sectorKeys[{uid, sector, keyNum}] = key;
}

std::optional<std::array<uint8_t, 6>> QVMifareObj::SectorKey(const QString& uid, int sector,
                                                             int keyNum) const {
  const auto found = sectorKeys.find({uid, sector, keyNum});
  if (found == sectorKeys.end()) return std::nullopt;
  return found->second;
}

int QVMifareObj::SectorOfBlock(int block) {
  return block < 128 ? block / 4 : 32 + (block - 128) / 16;
}

_MIF_KEY_ QVMifareObj::AuthenticationKey(const QVMifareCard& card, int keyNum, int sector) const {
  _MIF_KEY_ key{};
  key.KeyType = static_cast<uint8_t>(keyNum);
  if (const auto own = SectorKey(card.Uid(), sector, keyNum)) {
    std::copy(own->begin(), own->end(), key.KeyValue);
  } else if (keyNum == kKeyA) {
    card.GetKeyA(key.KeyValue);
  } else {
    card.GetKeyB(key.KeyValue);
  }
  return key;
}
