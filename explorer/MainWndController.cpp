// mainWndController: what the window does. Start-up and end, the RF scan, the card tree's
// selection, the frame every card operation runs in, read all and write all, the sector manager,
// the access bits dialog and the key manager. The widgets are built in MainWndControllerLayout.cpp.

#include "MainWndController.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "MifareGeometry.h"
#include "QVHexTextView.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"

namespace {

enum SectorOperation { kReadSector = 0, kWriteSector = 1, kClearSector = 2 };
constexpr int kSectorCount = 40;
constexpr int kStatusMessageMs = 6000;
const QString kReady = QStringLiteral("Ready...");
const QString kExploring = QStringLiteral("Exploring RF field ...");
const QString kNoCard = QStringLiteral("No card selected");

}  // namespace

// ---- Start-up and end ----------------------------------------------------------------------

mainWndController::mainWndController(QWidget* parent)
    : QMainWindow(parent), theMifareObj(std::make_unique<QVMifareObj>()) {
  setWindowTitle(QStringLiteral("Orlith"));
  aTimerScansione = new QTimer(this);
  aTimerScansione->setObjectName(QStringLiteral("aTimerScansione"));
  aTimerScansione->setSingleShot(true);
  connect(aTimerScansione, &QTimer::timeout, this, &mainWndController::scansioneRF);
  connect(qApp, &QCoreApplication::aboutToQuit, this, &mainWndController::applicationWillTerminate);

  BuildMenus();
  BuildCentralArea();
  BuildKeyDrawer();
  BuildSectorPanel();
  dlgaccessbit = new AccessBitsDialog(*this, sectorpanel);
  awakeFromNib();
  SetAlertHandler([this](const QString& title, const QString& text) {
    QWidget* modal = QApplication::activeModalWidget();
    RunModalAlert(title, text, modal != nullptr ? modal : this);
  });
}

mainWndController::~mainWndController() {
  // The body only stops the scan timer. Then the members go in reverse declaration order, so
  // the card access object (which disconnects a reader still open) is destroyed while the widgets
  // still exist; the widgets, the timer and the dialogs are children of the window and go last,
  // in QMainWindow's destructor.
  aTimerScansione->stop();
}

void mainWndController::awakeFromNib() {
  dataView->setAsciiView(textDataView);
  ShowScanning(false);
  dataView->clear();
  SetStatus(kReady);
  infoCard->setTitle(kNoCard);
  infoKeysTitle->setTitle(kNoCard);
  modelCmb->setCurrentIndex(0);
  portCmb->setCurrentIndex(0);
  sectorsel->clear();
  for (int sector = 0; sector < kSectorCount; ++sector)
    sectorsel->addItem(QString::asprintf("%02d", sector));
  theMifareObj->SetDebugMode(false);
  bBusy = 0;
}

void mainWndController::SetAlertHandler(AlertHandler handler) {
  alert = std::move(handler);
  theMifareObj->SetAlertHandler(alert);
}

void mainWndController::Alert(const QString& title, const QString& text) {
  if (alert) alert(title, text);
}

void mainWndController::applicationWillTerminate() {
  if (IsScanning()) stopScan();
}

// ---- The RF scan ---------------------------------------------------------------------------

void mainWndController::startScan() {
  int readerId = 0;
  if (modelCmb->currentIndex() == 0) readerId = QVMifareObj::kReaderTR10;
  if (modelCmb->currentIndex() == 1) readerId = QVMifareObj::kReaderTR20;
  const QString port =
      portCmb->currentIndex() == 1 ? QStringLiteral("USB_1") : QStringLiteral("USB_0");
  if (!theMifareObj->ConnectToReader(readerId, port)) {
    // Shown even with debug mode off: the user must learn why the scan does not start.
    theMifareObj->ForceDisplayMsgErr();
    return;
  }
  theMifareObj->ClearData();
  ShowScanning(true);
  treeCard->setModel(theTreeDataSource);
  theTreeDataSource->resetData();
  ScheduleScan(kFirstScanDelayMs);
  SetStatus(kExploring);
}

void mainWndController::stopScan() {
  aTimerScansione->stop();
  ShowScanning(false);
  SetStatus(kReady);
  theMifareObj->DisconnectToReader();
}

bool mainWndController::IsScanning() const {
  return !stopBtn->isHidden();
}

void mainWndController::scansioneRF() {
  aTimerScansione->stop();
  theMifareObj->SelectAidleCard();
  fillTreeDataSource();
  ScheduleScan(theMifareObj->DelayForWaitCard());
}

void mainWndController::fillTreeDataSource() {
  if (!theTreeDataSource->RebuildFromCards(theMifareObj->RegisteredCards())) return;
  // The rebuild drops the selection; the card chosen before keeps it when it is still there.
  if (const auto card = chosenCard.lock()) SelectCardRow(*card);
}

void mainWndController::ScheduleScan(int milliseconds) {
  aTimerScansione->start(milliseconds);
}

void mainWndController::ShowScanning(bool scanning) {
  startBtn->setEnabled(!scanning);
  startBtn->setHidden(scanning);
  stopBtn->setEnabled(scanning);
  stopBtn->setHidden(!scanning);
  prgbarPbi->setHidden(!scanning);
  modelCmb->setEnabled(!scanning);
  portCmb->setEnabled(!scanning);
}

void mainWndController::SetStatus(const QString& text) {
  infoOper->setTitle(text);
}

// ---- The card tree's selection, which names the card every operation acts on -------------

std::shared_ptr<QVMifareCard> mainWndController::SelectedCard() const {
  const QModelIndexList rows = treeCard->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  // A card row and each of its property rows all name the card.
  return theTreeDataSource->nodeFromIndex(rows.first())->GetCard();
}

bool mainWndController::SelectCardRow(const QVMifareCard& card, bool expand) {
  for (int row = 0; row < theTreeDataSource->rowCount(); ++row) {
    if (theTreeDataSource->childNodeAtIndex(row)->GetCard().get() != &card) continue;
    const QModelIndex index = theTreeDataSource->index(row, 0);
    treeCard->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (expand) treeCard->expand(index);
    treeCard->scrollTo(index);
    return true;
  }
  return false;
}

void mainWndController::cambiataSelezioneOutLine() {
  chosenCard = SelectedCard();
  ShowSelectedCard();
}

void mainWndController::ShowSelectedCard() {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  const QString title =
      card ? QStringLiteral("Data for card %1 - %2").arg(card->Uid(), card->CardType()) : kNoCard;
  infoCard->setTitle(title);
  infoKeysTitle->setTitle(title);
  currentKeyA->setText(card ? card->GetKeyA() : QString());
  currentKeyB->setText(card ? card->GetKeyB() : QString());
}

bool mainWndController::ReselectCard(const QVMifareCard& card) {
  if (theMifareObj->SelectACard(card) != 0) return false;
  // Twenty attempts that found only other cards still end with status 0: the card is selected
  // only when the UID that answered last is its own. A card registered without an identifier
  // (all zero) cannot be told apart from others, so for it the status alone decides.
  const uint8_t* id = card.GetCardInfo()->ChipID.Mif_UID;
  if (std::all_of(id, id + 4, [](uint8_t byte) { return byte == 0; })) return true;
  const QByteArray answered = theMifareObj->LastUid();
  return answered.size() >= 4 &&
         std::equal(id, id + 4, answered.constBegin(),
                    [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
}

void mainWndController::ResetCardTree() {
  theTreeDataSource->resetData();
}

// ---- The frame of every card operation -----------------------------------------------------

void mainWndController::RunCardOperation(const QString& statusText, const QButtonGroup* keyGroup,
                                         const CardAction& operation,
                                         const LostCardAction& lostCard) {
  aTimerScansione->stop();
  SetStatus(statusText);
  // The library call blocks the GUI thread: show the status before it starts.
  infoOper->repaint();
  bBusy = 1;
  const int keyNum = KeyNumber(keyGroup);
  if (const std::shared_ptr<QVMifareCard> card = SelectedCard()) {
    if (ReselectCard(*card)) {
      operation(*card, keyNum);
    } else {
      lostCard(card);
    }
  }
  bBusy = 0;
  ScheduleScan(theMifareObj->DelayForWaitCard());
  SetStatus(kExploring);
}

int mainWndController::KeyNumber(const QButtonGroup* keyGroup) {
  return keyGroup->checkedId() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B;
}

void mainWndController::ReportFailure(const char* verb, const QString& detail) {
  QString text =
      QStringLiteral("Data cannot be %1, please check Keys or Access Bit").arg(QLatin1String(verb));
  if (!detail.isEmpty()) text += QStringLiteral("\n\n") + detail;
  Alert(QStringLiteral("Error"), text);
}

QString mainWndController::FailureText(int status) const {
  // -1 is the card access object's own refusal, whose reason is in its message slot.
  if (status == -1) return theMifareObj->ErrorMsg();
  return QVMifareObj::ErrorText(status);
}

// ---- Read all and write all on the whole-card editor --------------------------------------

void mainWndController::readAllData() {
  if (!IsScanning()) return;
  RunCardOperation(
      QStringLiteral("Reading data ..."), keyAorB,
      [this](QVMifareCard& card, int keyNum) {
        QByteArray data;
        const int status = theMifareObj->ReadAllSector(card, data, keyNum);
        // What was read before a failure stays on show, but the user learns where it stopped.
        dataView->refresh(data);
        if (status != 0) {
          ReportFailure("read", QStringLiteral("Reading stopped after %1 bytes: %2")
                                    .arg(data.size())
                                    .arg(FailureText(status)));
        }
      },
      [this](const auto& card) { DropLostCard(card); });
}

void mainWndController::writeAllData() {
  if (!IsScanning()) return;
  RunCardOperation(
      QStringLiteral("Writing data ..."), keyAorB,
      [this](QVMifareCard& card, int keyNum) {
        const int status = theMifareObj->WriteAllSector(card, dataView->getBufferData(), keyNum);
        if (status != 0) ReportFailure("written", FailureText(status));
      },
      [this](const auto& card) { DropLostCard(card); });
}

void mainWndController::DropLostCard(const std::shared_ptr<QVMifareCard>& card) {
  theMifareObj->RemoveCard(*card);
  dataView->clear();
  fillTreeDataSource();
}

// ---- The sector manager sheet: each write and clear is read back ---------------------------

void mainWndController::showSectMng() {
  if (!IsScanning()) return;
  sectorpanel->open();
}

void mainWndController::btnSegmentOperation() {
  switch (sectoroperation->checkedId()) {
    case kReadSector:
      readDataForSector();
      break;
    case kWriteSector:
      writeDataForSector();
      readDataForSector();
      break;
    case kClearSector:
      clearDataForSector();
      readDataForSector();
      break;
    default:
      break;
  }
}

void mainWndController::btnCloseSector() {
  sectorpanel->done(QDialog::Accepted);
}

int mainWndController::SelectedSector() const {
  return sectorsel->currentText().toInt();
}

void mainWndController::RunSectorOperation(const QString& statusText,
                                           const SectorAction& operation) {
  const int sector = SelectedSector();
  RunCardOperation(
      statusText, sectorKey,
      [&operation, sector](QVMifareCard& card, int keyNum) { operation(card, keyNum, sector); },
      [this](const auto&) { sectorData->clear(); });
}

void mainWndController::readDataForSector() {
  RunSectorOperation(QStringLiteral("Reading data ..."),
                     [this](QVMifareCard& card, int keyNum, int sector) {
                       QByteArray data;
                       int numBytes = 0;
                       if (theMifareObj->ReadSector(card, sector, keyNum, data, numBytes) != 0) {
                         ReportFailure("read");
                         return;
                       }
                       sectorData->refresh(data.left(numBytes));
                     });
}

void mainWndController::writeDataForSector() {
  WriteSectorData(QStringLiteral("Writing data ..."), "written", [this](int sector) {
    return sectorData->getBufferData().left(mifare_geometry::SectorDataSize(sector));
  });
}

void mainWndController::clearDataForSector() {
  WriteSectorData(QStringLiteral("Clear data ..."), "cleared", [](int sector) {
    return QByteArray(mifare_geometry::SectorDataSize(sector), '\0');
  });
}

void mainWndController::WriteSectorData(const QString& statusText, const char* verb,
                                        const std::function<QByteArray(int sector)>& data) {
  RunSectorOperation(statusText, [&](QVMifareCard& card, int keyNum, int sector) {
    const int status = theMifareObj->WriteSector(card, sector, keyNum, data(sector));
    if (status != 0) ReportFailure(verb, FailureText(status));
  });
}

void mainWndController::showAccessBitDialog() {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card) return;
  // The dialog is modal: no scan tick runs while it is open, as during any card operation.
  const bool scanning = IsScanning();
  aTimerScansione->stop();
  dlgaccessbit->Load(*card, SelectedSector(), static_cast<uint8_t>(KeyNumber(sectorKey)));
  dlgaccessbit->exec();
  if (scanning) ScheduleScan(theMifareObj->DelayForWaitCard());
}

// ---- The key manager side panel: new keys change only the card record, never the card -----

void mainWndController::showKeyMng() {
  newKeyA->clear();
  newKeyB->clear();
  ToggleKeyDrawer();
}

void mainWndController::applyNewKeys() {
  if (const std::shared_ptr<QVMifareCard> card = SelectedCard()) {
    const bool keyAChanged = card->setNewKeyA(newKeyA->text());
    const bool keyBChanged = card->setNewKeyB(newKeyB->text());
    // The next scan tick rebuilds the tree with the new key texts.
    theTreeDataSource->resetData();
    currentKeyA->setText(card->GetKeyA());
    currentKeyB->setText(card->GetKeyB());
    QStringList notes;
    if (!newKeyA->text().isEmpty())
      notes << (keyAChanged ? tr("Key A changed.")
                            : tr("Key A not changed: 12 hex digits needed."));
    if (!newKeyB->text().isEmpty())
      notes << (keyBChanged ? tr("Key B changed.")
                            : tr("Key B not changed: 12 hex digits needed."));
    if (!notes.isEmpty()) statusBar()->showMessage(notes.join(QLatin1Char(' ')), kStatusMessageMs);
  }
  ToggleKeyDrawer();
}

void mainWndController::ToggleKeyDrawer() {
  drawerkeys->setVisible(drawerkeys->isHidden());
}
