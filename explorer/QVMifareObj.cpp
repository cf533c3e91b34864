// QVMifareObj: settings, the message slot, reader connection and card selection.

#include "QVMifareObj.h"

#include <algorithm>

#include "CardTypeDetection.h"

namespace {

constexpr int kUsbInterface = NORVEX_INTERFACE_USB;
constexpr int kReselectAttempts = 20;
const QString kAlertTitle = QStringLiteral("Informazioni");

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
  if (!SearchCard(*paCard)) {
    paCards.append(paCard);
    ++nCardsInRF;
  }
  return 0;
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
  const std::array<uint8_t, 4> wanted = CardId(card);
  long status = 0;
  for (int attempt = 0; attempt < kReselectAttempts; ++attempt) {
    ChipIDSize = kUidCapacity;
    status = SelectIdleCard(hSess, ChipID.data(), &ChipIDSize, ATQ.data(), &ATS);
    if (status == 0 && std::equal(wanted.begin(), wanted.end(), ChipID.begin())) return 0;
  }
  return static_cast<int>(status);
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
