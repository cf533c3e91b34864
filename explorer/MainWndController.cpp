// SPDX-License-Identifier: MIT
// mainWndController: what the window does. Start-up and end, the RF scan, the card tree's
// selection, the frame every card operation runs in, read all and write all, the sector manager,
// the access bits dialog and the key manager. The widgets are built in MainWndControllerLayout.cpp.

#include "MainWndController.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QTreeView>
#include <QUndoStack>
#include <algorithm>

#include "CardWorker.h"
#include "DumpImage.h"
#include "MifareGeometry.h"
#include "QVAsciiView.h"
#include "QVHexTextView.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"
#include "ReaderPorts.h"
#include "WritePlan.h"
#include "dump/DumpFile.h"
#include "dump/Hex.h"
#include "dump/KeyFile.h"

namespace {

enum SectorOperation { kReadSector = 0, kWriteSector = 1, kClearSector = 2 };
constexpr int kSectorCount = 40;
constexpr int kStatusMessageMs = 6000;
const QString kReady = QStringLiteral("Ready...");
const QString kExploring = QStringLiteral("Exploring RF field ...");
const QString kNoCard = QStringLiteral("No card selected");
const QString kDumpFilter =
    QStringLiteral("Card dumps (*.mfd *.bin *.json *.mct *.txt *.eml);;All files (*)");
const QString kMarkingDumpFilter = QStringLiteral(
    "Dumps that mark unread bytes (*.mct *.json);;Card dumps (*.mfd *.bin *.json *.mct *.txt "
    "*.eml);;All files (*)");

}  // namespace

// ---- Start-up and end ----------------------------------------------------------------------

mainWndController::mainWndController(QWidget* parent)
    : QMainWindow(parent), theMifareObj(std::make_unique<QVMifareObj>()) {
  setWindowTitle(QStringLiteral("Orlith"));
  worker = new CardWorker(this);
  aTimerScansione = new QTimer(this);
  aTimerScansione->setObjectName(QStringLiteral("aTimerScansione"));
  aTimerScansione->setSingleShot(true);
  connect(aTimerScansione, &QTimer::timeout, this, &mainWndController::scansioneRF);
  connect(qApp, &QCoreApplication::aboutToQuit, this, &mainWndController::applicationWillTerminate);

  BuildCentralArea();
  BuildKeyDrawer();
  BuildSectorPanel();
  BuildTraceDock();
  BuildMenus();
  dlgaccessbit = new AccessBitsDialog(*this, sectorpanel);
  awakeFromNib();
  SetAlertHandler([this](const QString& title, const QString& text) {
    QWidget* modal = QApplication::activeModalWidget();
    RunModalAlert(title, text, modal != nullptr ? modal : this);
  });
  SetConfirmHandler([this](const QString& title, const QString& text) {
    QWidget* modal = QApplication::activeModalWidget();
    return RunModalConfirm(title, text, modal != nullptr ? modal : this);
  });
  SetFileChooser([this](bool forSaving, const QString& title, const QString& filter) {
    return forSaving ? QFileDialog::getSaveFileName(this, title, {}, filter)
                     : QFileDialog::getOpenFileName(this, title, {}, filter);
  });
}

mainWndController::~mainWndController() {
  // The body only stops the scan timer. Then the members go in reverse declaration order, so
  // the card access object (which disconnects a reader still open) is destroyed while the widgets
  // still exist; the widgets, the timer and the dialogs are children of the window and go last,
  // in QMainWindow's destructor. A job still running ends first: it uses the card access object.
  worker->Abandon();
  aTimerScansione->stop();
}

void mainWndController::awakeFromNib() {
  dataView->setAsciiView(textDataView);
  connect(dataView, &QVHexTextView::pasteRefused, this,
          [this](const QString& why) { statusBar()->showMessage(why, kStatusMessageMs); });
  dataView->setWholeImageGuard([this](char digit) {
    return Confirm(tr("Set all bytes"),
                   tr("No bytes are selected: set every data byte of card %1 to %2?")
                       .arg(shownUid, QString(2, QLatin1Char(digit))));
  });
  ShowScanning(false);
  ShowNothing();
  SetStatus(kReady);
  infoCard->setTitle(kNoCard);
  infoKeysTitle->setTitle(kNoCard);
  modelCmb->setCurrentIndex(0);
  RefreshPorts();
  FillSectorList(kSectorCount);
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

bool mainWndController::Confirm(const QString& title, const QString& text) {
  return confirm && confirm(title, text);
}

void mainWndController::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // The tree inherits the window's palette (it gets the new one only after this event).
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
    theTreeDataSource->SetBackground(palette().color(QPalette::Base));
}

void mainWndController::applicationWillTerminate() {
  worker->Abandon();
  if (IsScanning()) stopScan();
}

// ---- The RF scan ---------------------------------------------------------------------------

void mainWndController::startScan() {
  const int readerId = SelectedProductId();
  if (portCmb->count() == 0) RefreshPorts();  // a reader plugged in since
  // With no reader found the first name is tried, so that the library's message says why.
  const QString port =
      portCmb->currentText().isEmpty() ? QStringLiteral("USB_0") : portCmb->currentText();
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

int mainWndController::SelectedProductId() const {
  return modelCmb->currentIndex() == 1 ? QVMifareObj::kReaderTR20 : QVMifareObj::kReaderTR10;
}

void mainWndController::RefreshPorts() {
  const QString chosen = portCmb->currentText();
  portCmb->clear();
  portCmb->addItems(EnumerateReaderPorts(SelectedProductId()));
  portCmb->setCurrentIndex(std::max(0, portCmb->findText(chosen)));
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
  theMifareObj->RegisterCardsInField();
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
  UpdateEditorState();
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
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  chosenCard = card;
  // The editor shows the selected card's own image, or none: never another card's data.
  if (card && card->Uid() != shownUid) ShowImageOf(card->Uid());
  // Without a selected card only the kept image of a card that left the field stays on show.
  if (!card && !shownUid.isEmpty() && IsRegistered(shownUid)) ShowImageOf(QString());
  if (card && card->Uid() != sectorViewUid) ForgetSectorView();
  ShowSelectedCard();
}

void mainWndController::ShowSelectedCard() {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  const QString title =
      card ? QStringLiteral("Data for card %1 - %2").arg(card->Uid(), card->CardType()) : kNoCard;
  // An image kept after its card left the field says so.
  infoCard->setTitle(!card && !shownUid.isEmpty() && !IsRegistered(shownUid)
                         ? QStringLiteral("Data for card %1 - not in the field").arg(shownUid)
                         : title);
  infoKeysTitle->setTitle(title);
  if (const CardImage* image = ShownImage(); card && image != nullptr && image->HoldsForeignData())
    infoCard->setTitle(title + tr(" - data of %1, not written").arg(OriginText(*image)));
  sectorpanel->setWindowTitle(card ? tr("Sector manager - card %1").arg(card->Uid())
                                   : tr("Sector manager"));
  if (card) FillSectorList(card->GetCardInfo()->SectorsCount);
  currentKeyA->setText(card ? card->GetKeyA() : QString());
  currentKeyB->setText(card ? card->GetKeyB() : QString());
  FillSectorKeys();
  UpdateEditorState();
}

void mainWndController::FillSectorList(int sectors) {
  // The sector manager offers the sectors the selected card has: 5 on a Mini, 16 on a 1K.
  if (sectorsel->count() == sectors) return;
  const int chosen = sectorsel->currentIndex();
  sectorsel->clear();
  for (int sector = 0; sector < sectors; ++sector)
    sectorsel->addItem(QString::asprintf("%02d", sector));
  sectorsel->setCurrentIndex(std::clamp(chosen, 0, std::max(0, sectors - 1)));
}

void mainWndController::FillSectorKeys() {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  const QSignalBlocker quiet(sectorKeys);
  const int sectors = card ? card->GetCardInfo()->SectorsCount : 0;
  sectorKeys->setRowCount(sectors);
  for (int sector = 0; sector < sectors; ++sector) {
    sectorKeys->setVerticalHeaderItem(sector,
                                      new QTableWidgetItem(QString::asprintf("%02d", sector)));
    for (const int column : {0, 1}) {
      auto* item = new QTableWidgetItem();
      sectorKeys->setItem(sector, column, item);
      ShowSectorKey(*card, item);
    }
  }
}

QString mainWndController::SectorKeyText(const QVMifareCard& card, int sector, int column) const {
  const auto own =
      theMifareObj->SectorKey(card.Uid(), sector, column == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B);
  if (!own) return column == 0 ? card.GetKeyA() : card.GetKeyB();
  return QString::fromStdString(norvex::hex::encode(*own));
}

void mainWndController::SectorKeyEdited(QTableWidgetItem* item) {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card || item == nullptr) return;
  const QString text = item->text().trimmed();
  const std::optional<std::vector<uint8_t>> bytes = norvex::hex::decode(text.toStdString());
  if (bytes && bytes->size() == 6) {
    std::array<uint8_t, 6> key{};
    std::copy(bytes->begin(), bytes->end(), key.begin());
    theMifareObj->SetSectorKey(card->Uid(), item->row(),
                               item->column() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B, key);
    statusBar()->showMessage(tr("Key %1 of sector %2 changed.")
                                 .arg(item->column() == 0 ? QLatin1Char('A') : QLatin1Char('B'))
                                 .arg(item->row(), 2, 10, QLatin1Char('0')),
                             kStatusMessageMs);
  } else {
    statusBar()->showMessage(tr("Key not changed: 12 hex digits needed."), kStatusMessageMs);
  }
  const QSignalBlocker quiet(sectorKeys);
  ShowSectorKey(*card, item);
}

void mainWndController::ShowSectorKey(const QVMifareCard& card, QTableWidgetItem* item) {
  item->setText(SectorKeyText(card, item->row(), item->column()));
  // A sector without a key of its own uses the card key: shown in grey.
  const bool own = theMifareObj
                       ->SectorKey(card.Uid(), item->row(),
                                   item->column() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B)
                       .has_value();
  item->setData(
      Qt::ForegroundRole,
      own ? QVariant() : QVariant(sectorKeys->palette().color(QPalette::PlaceholderText)));
  // The key that opened the sector in the last read is in bold.
  const auto image = images.find(card.Uid());
  const auto opening =
      image == images.end() ? std::nullopt : image->second.OpeningKeyOf(item->row());
  const bool opened =
      opening && opening->keyNum == (item->column() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B);
  QFont font = sectorKeys->font();
  font.setBold(opened);
  item->setFont(font);
  item->setToolTip(opened ? tr("This key read the sector") : QString());
}

// ---- The whole-card images, each tied to its card's UID ------------------------------------

void mainWndController::StashEditor() {
  if (CardImage* image = ShownImage()) image->TakeEdits(dataView->getBufferData());
}

bool mainWndController::IsRegistered(const QString& uid) const {
  const auto& cards = theMifareObj->RegisteredCards();
  return std::any_of(cards.begin(), cards.end(),
                     [&](const auto& card) { return card->Uid() == uid; });
}

CardImage* mainWndController::ShownImage() {
  const auto found = images.find(shownUid);
  return found == images.end() ? nullptr : &found->second;
}

void mainWndController::ShowImageOf(const QString& uid) {
  StashEditor();
  shownUid = uid;
  if (const CardImage* image = ShownImage()) {
    ShowImage(*image);
  } else {
    ShowNothing();
  }
  UpdateEditorState();
}

void mainWndController::ShowImage(const CardImage& image) {
  // Block 0 (UID and manufacturer data) is shown but never written, so never edited either.
  editor::KnownBytes block0;
  for (std::size_t i = 0; i < 16; ++i) block0.set(i);
  dataView->setLockedBytes(block0);
  dataView->setReference(image.CardBytes(), image.Pending());
  dataView->showImage(image.Shown(), image.Known());
  dataView->setLineLabels([sectors = image.Sectors()](int line) {
    return BlockLabel(line * editor::kBytesPerLine, sectors, 0);
  });
}

void mainWndController::ShowNothing() {
  dataView->setReference({});
  dataView->showNothing();
  dataView->setLineLabels([](int) { return QString(); });
}

QString mainWndController::BlockLabel(int offset, int sectors, int firstSector) {
  // "S03 B013": the sector and the card block a line of the image shows.
  for (int sector = firstSector; sector < sectors; ++sector) {
    const int start =
        mifare_geometry::SectorOffset(sector) - mifare_geometry::SectorOffset(firstSector);
    if (offset < start || offset >= start + mifare_geometry::SectorDataSize(sector)) continue;
    return QString::asprintf("S%02d B%03d", sector,
                             mifare_geometry::FirstBlock(sector) + (offset - start) / 16);
  }
  return {};
}

int mainWndController::EditedBlocks() {
  StashEditor();
  const CardImage* image = ShownImage();
  return image == nullptr ? 0 : static_cast<int>(image->ChangedBlocks().size());
}

void mainWndController::UpdateEditorState() {
  // Buttons that cannot act are disabled: reading needs a scan and a card, writing changed
  // blocks of that card's own image, discarding edits.
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  // Read all, Write all and the sector manager speak Mifare Classic only.
  const bool cardReady = IsScanning() && card != nullptr && card->IsClassic() && !IsBusy();
  const int edited = EditedBlocks();
  readAllBtn->setEnabled(cardReady);
  writeAllBtn->setEnabled(cardReady && card->Uid() == shownUid && edited > 0);
  discardBtn->setEnabled(edited > 0 && !IsBusy());
  saveDumpAction->setEnabled(ShownImage() != nullptr && !IsBusy());
  sectMngBtn->setEnabled(cardReady);
}

QString mainWndController::OriginText(const CardImage& image) {
  const QString card = image.OriginUid().isEmpty() ? tr("a card the dump does not name")
                                                   : tr("card %1").arg(image.OriginUid());
  return QStringLiteral("%1 (%2)").arg(card, image.OriginFile());
}

// ---- Dump files ----------------------------------------------------------------------------

void mainWndController::openDump() {
  if (IsBusy()) return;
  const QString path = chooseFile ? chooseFile(false, tr("Open dump"), kDumpFilter) : QString();
  if (path.isEmpty()) return;
  const auto parsed = norvex::dump::loadDumpFile(QFile::encodeName(path).toStdString());
  if (!parsed.value) {
    Alert(QStringLiteral("Error"),
          tr("The dump cannot be opened.\n\n%1").arg(QString::fromStdString(parsed.error)));
    return;
  }
  const norvex::dump::CardImage& dump = *parsed.value;
  const QString origin = dump_image::OriginUid(dump);
  const QString file = QFileInfo(path).fileName();
  // The selected card takes the dump; without one, the dump's own card (offline editing).
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  const QString uid = card ? card->Uid() : origin.isEmpty() ? file : origin;
  StashEditor();
  const auto existing = images.find(uid);
  const int edited =
      existing == images.end() ? 0 : static_cast<int>(existing->second.ChangedBlocks().size());
  if (edited > 0 && !Confirm(tr("Open dump"), tr("Opening %1 replaces the %2 of card %3. Open "
                                                 "anyway?")
                                                  .arg(file, Blocks(edited, "edited"), uid)))
    return;
  int leftOut = 0;
  const int sectors =
      card ? card->GetCardInfo()->SectorsCount : static_cast<int>(dump.sectorCount());
  images.insert_or_assign(uid, dump_image::FromDump(dump, uid, sectors, file, leftOut));
  if (origin == uid) ApplyDumpKeys(uid, dump);
  shownUid.clear();  // the editor's bytes belong to the image just replaced
  ShowImageOf(uid);
  ShowSelectedCard();
  QString note = tr("%1 opened: %2 to write.").arg(file, Blocks(EditedBlocks(), "data"));
  if (leftOut > 0) note += tr(" %1 beyond this card left out.").arg(Blocks(leftOut, "data"));
  statusBar()->showMessage(note, kStatusMessageMs);
}

void mainWndController::ApplyDumpKeys(const QString& uid, const norvex::dump::CardImage& dump) {
  for (std::size_t sector = 0; sector < dump.keys.size(); ++sector) {
    const auto& keys = dump.keys[sector];
    const int number = static_cast<int>(sector);
    if (keys.a) theMifareObj->SetSectorKey(uid, number, MIF_KEY_TYPE_A, *keys.a);
    if (keys.b) theMifareObj->SetSectorKey(uid, number, MIF_KEY_TYPE_B, *keys.b);
  }
}

void mainWndController::saveDump() {
  StashEditor();
  const CardImage* image = ShownImage();
  if (image == nullptr || IsBusy()) return;
  // An image with unread bytes is best kept in a format that marks them: those come first.
  const bool complete = image->IsComplete();
  const QString path =
      chooseFile ? chooseFile(true, tr("Save dump"), complete ? kDumpFilter : kMarkingDumpFilter)
                 : QString();
  if (path.isEmpty()) return;
  const auto format = norvex::dump::formatOfPath(QFile::encodeName(path).toStdString());
  if (!format) {
    Alert(QStringLiteral("Error"), tr("Name the dump .mfd, .bin, .json, .mct, .txt or .eml: the "
                                      "extension chooses the format."));
    return;
  }
  const QString uid = image->Uid();
  // Each sector's own key, else the key that opened it in the last read.
  const norvex::dump::CardImage dump =
      dump_image::ToDump(*image, [&](int sector, int keyNum) -> std::optional<dump_image::Key> {
        if (auto own = theMifareObj->SectorKey(uid, sector, keyNum)) return own;
        const auto opening = image->OpeningKeyOf(sector);
        if (opening && opening->keyNum == keyNum) return opening->key;
        return std::nullopt;
      });
  const QString file = QFileInfo(path).fileName();
  // A raw or EML file would turn bytes never read into zeros that look like card data.
  const int unread = dump_image::UnreadBlocks(dump);
  if (!norvex::dump::formatKeepsUnreadBytes(*format) && unread > 0 &&
      !Confirm(tr("Save dump"),
               tr("%1 cannot mark bytes that were not read: %2 (the sector trailers among them) "
                  "will hold 00. The .mct and .json formats keep them marked. Save anyway?")
                   .arg(file, Blocks(unread, "unread"))))
    return;
  const std::string error = norvex::dump::saveDumpFile(QFile::encodeName(path).toStdString(), dump);
  if (!error.empty()) {
    Alert(QStringLiteral("Error"),
          tr("The dump cannot be saved.\n\n%1").arg(QString::fromStdString(error)));
    return;
  }
  statusBar()->showMessage(tr("Card %1 saved to %2.").arg(uid, file), kStatusMessageMs);
}

void mainWndController::discardEdits() {
  CardImage* image = ShownImage();
  const int edited = EditedBlocks();
  if (image == nullptr || edited == 0) return;
  if (!Confirm(tr("Discard edits"),
               tr("Discard the %1 of card %2?").arg(Blocks(edited, "edited"), shownUid)))
    return;
  image->DiscardEdits();
  if (IsRegistered(shownUid)) {
    ShowImage(*image);
  } else {
    images.erase(shownUid);
    shownUid.clear();
    ShowNothing();
  }
  ShowSelectedCard();
}

bool mainWndController::ReselectCard(const QVMifareCard& card) {
  if (theMifareObj->SelectACard(card) != 0) return false;
  // Twenty attempts that found only other cards still end with status 0: the card is selected
  // only when the whole UID that answered last is its own.
  return theMifareObj->LastUid() == card.UidBytes();
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

void mainWndController::RunCardJob(const QString& statusText, int count, JobStep step, JobDone done,
                                   const LostCardAction& lostCard) {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card || worker->IsRunning()) return;
  aTimerScansione->stop();
  SetStatus(statusText);
  bBusy = 1;
  if (!ReselectCard(*card)) {
    lostCard(card);
    FinishCardJob();
    return;
  }
  ShowJob(count);
  const int keyNum = KeyNumber(keyAorB);
  worker->Start(
      count,
      [card, keyNum, step = std::move(step)](int index) { return step(*card, keyNum, index); },
      [this, card, done = std::move(done)](int completed, bool cancelled) {
        done(*card, completed, cancelled);
        FinishCardJob();
      });
}

void mainWndController::FinishCardJob() {
  bBusy = 0;
  ShowJob(-1);
  if (IsScanning()) ScheduleScan(theMifareObj->DelayForWaitCard());
  SetStatus(IsScanning() ? kExploring : kReady);
  emit cardJobFinished();
}

void mainWndController::ShowJob(int count) {
  // While a job runs only Cancel acts: everything else would use the card or change the image.
  const bool running = count >= 0;
  jobProgress->setVisible(running);
  cancelBtn->setVisible(running);
  cancelBtn->setEnabled(running);
  if (running) {
    jobProgress->setRange(0, count);
    jobProgress->setValue(0);
  }
  for (QWidget* widget : {static_cast<QWidget*>(treeCard), static_cast<QWidget*>(dataView),
                          static_cast<QWidget*>(textDataView), drawerkeys->widget()})
    widget->setEnabled(!running);
  stopBtn->setEnabled(!running);
  openDumpAction->setEnabled(!running);
  // The editor's history would change the image while its blocks are written: no undo meanwhile.
  const QUndoStack* history = dataView->undoStack();
  undo->setEnabled(!running && history->canUndo());
  redo->setEnabled(!running && history->canRedo());
  UpdateEditorState();
}

void mainWndController::cancelCardJob() {
  worker->Cancel();
  cancelBtn->setEnabled(false);
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
  // -1 is the card access object's own refusal, whose reason is in its message result.
  if (status == -1) return theMifareObj->ErrorMsg();
  return QVMifareObj::ErrorText(status);
}

// ---- Read all and write all on the whole-card editor --------------------------------------

void mainWndController::readAllData() {
  if (!IsScanning() || IsBusy()) return;
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card) return;
  const int edited = card->Uid() == shownUid ? EditedBlocks() : 0;
  if (edited > 0 &&
      !Confirm(tr("Read all"),
               tr("Reading card %1 replaces its %2 with the card's data. Read anyway?")
                   .arg(card->Uid(), Blocks(edited, "edited"))))
    return;
  // The worker fills one result per sector; the image takes them once the job ended.
  const int sectors = card->GetCardInfo()->SectorsCount;
  auto results = std::make_shared<std::vector<SectorRead>>(static_cast<std::size_t>(sectors));
  RunCardJob(
      QStringLiteral("Reading data ..."), sectors,
      [this, results](QVMifareCard& selected, int keyNum, int sector) {
        SectorRead& result = (*results)[static_cast<std::size_t>(sector)];
        result.ok = ReadSectorAnyKey(selected, sector, keyNum, result);
        return result.ok || ReselectCard(selected);  // false: the card left the field
      },
      [this, results](QVMifareCard& selected, int completed, bool cancelled) {
        StoreWholeCardRead(selected, *results, completed, cancelled);
      },
      [this](const auto& lost) { DropLostCard(lost); });
}

QString mainWndController::Blocks(int count, const char* kind) {
  return QStringLiteral("%1 %2 %3")
      .arg(count)
      .arg(QLatin1String(kind), count == 1 ? QStringLiteral("block") : QStringLiteral("blocks"));
}

QString mainWndController::KeyName(int keyNum) {
  return keyNum == MIF_KEY_TYPE_A ? QStringLiteral("key A") : QStringLiteral("key B");
}

void mainWndController::StoreWholeCardRead(QVMifareCard& card,
                                           const std::vector<SectorRead>& results, int completed,
                                           bool cancelled) {
  StashEditor();
  const int sectors = static_cast<int>(results.size());
  CardImage& image = images.try_emplace(card.Uid(), card.Uid(), sectors).first->second;
  QStringList failures;
  int read = 0;
  int withKeyB = 0;
  for (int sector = 0; sector < completed; ++sector) {
    const SectorRead& result = results[static_cast<std::size_t>(sector)];
    if (result.ok) {
      image.StoreRead(sector, result.data);
      image.SetOpeningKey(sector, result.opening);
      ++read;
      withKeyB += result.opening.keyNum == MIF_KEY_TYPE_B;
    } else {
      failures << result.why;
    }
  }
  const QString rest = tr("sectors %1 to %2 not read.")
                           .arg(completed, 2, 10, QLatin1Char('0'))
                           .arg(sectors - 1, 2, 10, QLatin1Char('0'));
  if (completed < sectors && !cancelled) failures << tr("The card left the field: %1").arg(rest);
  // Sectors not read this time keep what the image held before; never-read ones show "--".
  shownUid = card.Uid();
  ShowImage(image);
  const QString summary = tr("%1 of %2 sectors read.").arg(read).arg(sectors);
  FillSectorKeys();
  statusBar()->showMessage(
      tr("%1 Key A opened %2, key B %3.").arg(summary).arg(read - withKeyB).arg(withKeyB),
      kStatusMessageMs);
  if (cancelled && completed < sectors) {
    QString note = tr("Read all cancelled: %1 Sectors %2 to %3 were not read.")
                       .arg(summary)
                       .arg(completed, 2, 10, QLatin1Char('0'))
                       .arg(sectors - 1, 2, 10, QLatin1Char('0'));
    // What an earlier read found there stays on show: say it is not from this read.
    int earlier = 0;
    for (int sector = completed; sector < sectors; ++sector) earlier += image.IsRead(sector);
    if (earlier > 0) note += tr(" %1 of them show the data of an earlier read.").arg(earlier);
    statusBar()->showMessage(note, kStatusMessageMs);
  }
  if (!failures.isEmpty())
    ReportFailure("read", summary + QLatin1Char('\n') + failures.join(QLatin1Char('\n')));
}

bool mainWndController::ReadSectorAnyKey(QVMifareCard& card, int sector, int keyNum,
                                         SectorRead& result) {
  QByteArray& bytesRead = result.data;
  const int other = keyNum == MIF_KEY_TYPE_A ? MIF_KEY_TYPE_B : MIF_KEY_TYPE_A;
  QStringList reasons;
  for (const int key : {keyNum, other}) {
    // A failed authentication leaves the card idle: select it again before the next try.
    if (!reasons.isEmpty() && !ReselectCard(card)) break;
    int numBytes = 0;
    const int status = theMifareObj->ReadSector(card, sector, key, bytesRead, numBytes);
    if (status == 0) {
      bytesRead.truncate(numBytes);
      result.opening = {key, theMifareObj->KeyFor(card, sector, key)};
      return true;
    }
    reasons << KeyName(key) + QStringLiteral(": ") + FailureText(status);
  }
  result.why = tr("Sector %1 not read (%2)")
                   .arg(sector, 2, 10, QLatin1Char('0'))
                   .arg(reasons.join(QStringLiteral("; ")));
  return false;
}

void mainWndController::writeAllData() {
  if (!IsScanning() || IsBusy()) return;
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card) return;
  const int edited = card->Uid() == shownUid ? EditedBlocks() : 0;
  if (edited == 0) {
    // Only the card's own image, and only what changed in it since it was read, is written.
    Alert(QStringLiteral("Information"),
          tr("Nothing to write: no block of card %1 was changed since it was read.")
              .arg(card->Uid()));
    return;
  }
  QString question =
      tr("Write %1 to card %2 (%3)?").arg(Blocks(edited, "changed"), card->Uid(), card->CardType());
  // Another card's data (a copy from its dump) goes on this card only when the user says so.
  if (const CardImage* image = ShownImage(); image != nullptr && image->HoldsForeignData())
    question += tr("\n\nThe blocks hold the data of %1, not of card %2.")
                    .arg(OriginText(*image), card->Uid());
  question += QStringLiteral("\n\n") + write_plan::Lines(*ShownImage()).join(QLatin1Char('\n'));
  if (!Confirm(tr("Write all"), question)) return;
  // The blocks and their bytes are taken now: the editor is locked while they are written.
  auto results = std::make_shared<std::vector<BlockWrite>>();
  for (const int block : ShownImage()->ChangedBlocks()) {
    BlockWrite result{block, {}, false, {}};
    const QByteArray bytes = ShownImage()->BlockBytes(block);
    std::copy(bytes.begin(), bytes.end(), result.data.begin());
    results->push_back(result);
  }
  RunCardJob(
      QStringLiteral("Writing data ..."), static_cast<int>(results->size()),
      [this, results](QVMifareCard& selected, int keyNum, int index) {
        BlockWrite& result = (*results)[static_cast<std::size_t>(index)];
        result.ok = WriteBlockAnyKey(selected, keyNum, result);
        return result.ok || ReselectCard(selected);
      },
      [this, results](QVMifareCard& selected, int completed, bool cancelled) {
        StoreWholeCardWrite(selected, *results, completed, cancelled);
      },
      [this](const auto& lost) { DropLostCard(lost); });
}

bool mainWndController::WriteBlockAnyKey(QVMifareCard& card, int keyNum, BlockWrite& result) {
  const int other = keyNum == MIF_KEY_TYPE_A ? MIF_KEY_TYPE_B : MIF_KEY_TYPE_A;
  QStringList reasons;
  for (const int key : {keyNum, other}) {
    if (!reasons.isEmpty() && !ReselectCard(card)) break;
    const int status = theMifareObj->WriteBlock(card, result.block, key, result.data);
    if (status == 0) return true;
    reasons << KeyName(key) + QStringLiteral(": ") + FailureText(status);
  }
  result.why =
      tr("Block %1 not written (%2)").arg(result.block).arg(reasons.join(QStringLiteral("; ")));
  return false;
}

void mainWndController::StoreWholeCardWrite(QVMifareCard& card,
                                            const std::vector<BlockWrite>& results, int completed,
                                            bool cancelled) {
  const auto found = images.find(card.Uid());
  if (found == images.end()) return;
  CardImage& image = found->second;
  StashEditor();
  QStringList failures;
  int written = 0;
  for (int index = 0; index < completed; ++index) {
    const BlockWrite& result = results[static_cast<std::size_t>(index)];
    if (result.ok) {
      image.MarkWritten(result.block, QByteArray(reinterpret_cast<const char*>(result.data.data()),
                                                 static_cast<qsizetype>(result.data.size())));
      ++written;
    } else {
      failures << result.why;
    }
  }
  const int total = static_cast<int>(results.size());
  if (completed < total && !cancelled) failures << tr("The card left the field.");
  if (shownUid == card.Uid()) ShowImage(image);
  const QString summary = tr("%1 of %2 changed blocks written.").arg(written).arg(total);
  if (cancelled && completed < total)
    statusBar()->showMessage(tr("Write all cancelled: ") + summary, kStatusMessageMs);
  if (!failures.isEmpty())
    ReportFailure("written", summary + QLatin1Char('\n') + failures.join(QLatin1Char('\n')));
}

void mainWndController::DropLostCard(const std::shared_ptr<QVMifareCard>& card) {
  const QString uid = card->Uid();
  const int edited = uid == shownUid ? EditedBlocks() : 0;
  const auto found = images.find(uid);
  const bool keepEdits =
      edited > 0 || (found != images.end() && !found->second.ChangedBlocks().empty());
  theMifareObj->RemoveCard(*card);
  if (keepEdits) {
    // Unsaved edits outlive the card's row: the user learns of it and decides.
    Alert(QStringLiteral("Information"),
          tr("Card %1 has left the field. Its edits are kept: put the card back and select it "
             "to write them, or discard them.")
              .arg(uid));
  } else {
    images.erase(uid);
    if (uid == shownUid) {
      shownUid.clear();
      ShowNothing();
    }
  }
  fillTreeDataSource();
  ShowSelectedCard();
}

// ---- The sector manager sheet: each write and clear is read back ---------------------------

void mainWndController::showSectMng() {
  if (!IsScanning()) return;
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card || card->Uid() != sectorViewUid) ForgetSectorView();
  sectorpanel->open();
}

void mainWndController::ForgetSectorView() {
  sectorViewUid.clear();
  sectorViewSector = -1;
  sectorData->showNothing();
  sectorData->setLineLabels([](int) { return QString(); });
  sectoroperation->button(kWriteSector)->setEnabled(false);
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
    case kClearSector: {
      const std::shared_ptr<QVMifareCard> card = SelectedCard();
      if (!card || !Confirm(tr("Clear sector"),
                            tr("Clear sector %1 of card %2? Its %3 data bytes become 00.")
                                .arg(SelectedSector(), 2, 10, QLatin1Char('0'))
                                .arg(card->Uid())
                                .arg(mifare_geometry::SectorDataSize(SelectedSector()))))
        return;
      clearDataForSector();
      readDataForSector();
      break;
    }
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
      [this](const auto&) { ForgetSectorView(); });
}

void mainWndController::readDataForSector() {
  RunSectorOperation(
      QStringLiteral("Reading data ..."), [this](QVMifareCard& card, int keyNum, int sector) {
        QByteArray bytesRead;
        int numBytes = 0;
        const int status = theMifareObj->ReadSector(card, sector, keyNum, bytesRead, numBytes);
        if (status != 0) {
          ReportFailure("read", tr("Sector %1, %2: %3")
                                    .arg(sector, 2, 10, QLatin1Char('0'))
                                    .arg(KeyName(keyNum), FailureText(status)));
          return;
        }
        // Only the sector's own bytes are data; the rest of the view shows "--".
        editor::KnownBytes known;
        for (int i = 0; i < numBytes; ++i) known.set(i);
        sectorData->showImage(bytesRead.left(numBytes), known);
        sectorData->setLineLabels([sector](int line) {
          return BlockLabel(line * editor::kBytesPerLine, sector + 1, sector);
        });
        sectorViewUid = card.Uid();
        sectorViewSector = sector;
        // The whole-card image learns what the sector holds now (after a write, say), so that
        // Write all never puts its older bytes back.
        StashEditor();
        if (const auto image = images.find(card.Uid()); image != images.end()) {
          image->second.RefreshRead(sector, bytesRead.left(numBytes));
          if (shownUid == card.Uid()) ShowImage(image->second);
        }
        sectoroperation->button(kWriteSector)->setEnabled(true);
      });
}

void mainWndController::writeDataForSector() {
  // The view must hold the chosen sector of the selected card, as read from it.
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card || card->Uid() != sectorViewUid || SelectedSector() != sectorViewSector) {
    Alert(QStringLiteral("Error"),
          tr("Read sector %1 before writing it.").arg(SelectedSector(), 2, 10, QLatin1Char('0')));
    return;
  }
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
                                        const std::function<QByteArray(int sector)>& sectorBytes) {
  RunSectorOperation(statusText, [&](QVMifareCard& card, int keyNum, int sector) {
    const int status = theMifareObj->WriteSector(card, sector, keyNum, sectorBytes(sector));
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

void mainWndController::loadKeyFile() {
  if (!IsScanning() || !SelectedCard() || IsBusy()) return;
  const QString path = chooseFile ? chooseFile(false, tr("Load key file"),
                                               tr("Key files (*.keys *.dic *.txt);;All files (*)"))
                                  : QString();
  if (path.isEmpty()) return;
  constexpr std::size_t kMaxKeyFileBytes = 4 << 20;
  const auto contents =
      norvex::dump::readWholeFile(QFile::encodeName(path).toStdString(), kMaxKeyFileBytes);
  if (!contents.value) {
    Alert(QStringLiteral("Error"),
          tr("The key file cannot be read.\n\n%1").arg(QString::fromStdString(contents.error)));
    return;
  }
  auto list = std::make_shared<norvex::dump::KeyList>(norvex::dump::parseKeyFile(*contents.value));
  QStringList report{tr("%1: %2 keys.").arg(QFileInfo(path).fileName()).arg(list->keys.size())};
  for (const std::string& warning : list->warnings)
    report << tr("Skipped %1").arg(QString::fromStdString(warning));
  // Per sector: the working key A and key B, and whether each came from the file.
  const int sectors = SelectedCard()->GetCardInfo()->SectorsCount;
  auto results = std::make_shared<std::vector<SectorKeySearch>>(static_cast<std::size_t>(sectors));
  RunCardJob(
      tr("Trying keys ..."), sectors,
      [this, list, results](QVMifareCard& card, int, int sector) {
        SectorKeySearch& result = (*results)[static_cast<std::size_t>(sector)];
        for (const int type : {0, 1}) {
          const int keyNum = type == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B;
          result.own[type] = theMifareObj->KeyFor(card, sector, keyNum);
          bool lost = false;
          result.found[type] =
              FindSectorKey(card, sector, keyNum, result.own[type], list->keys, lost);
          if (lost) return false;
        }
        return true;
      },
      [this, results, report](QVMifareCard& card, int completed, bool) mutable {
        ReportKeySearch(card, *results, completed, report);
      },
      [this](const auto& lost) { DropLostCard(lost); });
}

std::optional<std::array<uint8_t, 6>> mainWndController::FindSectorKey(
    QVMifareCard& card, int sector, int keyNum, const std::array<uint8_t, 6>& own,
    const std::vector<std::array<uint8_t, 6>>& keys, bool& lost) {
  std::vector<std::array<uint8_t, 6>> candidates{own};
  for (const auto& key : keys)
    if (key != own) candidates.push_back(key);
  for (const auto& key : candidates) {
    if (theMifareObj->AuthSector(card, sector, keyNum, key) == 0) return key;
    // A refused authentication leaves the card idle: select it again for the next key.
    if (!ReselectCard(card)) {
      lost = true;
      break;
    }
  }
  return std::nullopt;
}

void mainWndController::ReportKeySearch(QVMifareCard& card,
                                        const std::vector<SectorKeySearch>& results, int completed,
                                        QStringList& report) {
  const int sectors = static_cast<int>(results.size());
  for (const int type : {0, 1}) {
    const int keyNum = type == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B;
    QStringList missing;
    int works = 0;
    int fromFile = 0;
    for (int sector = 0; sector < completed; ++sector) {
      const SectorKeySearch& result = results[static_cast<std::size_t>(sector)];
      if (!result.found[type]) {
        missing << QString::asprintf("%02d", sector);
        continue;
      }
      ++works;
      if (*result.found[type] == result.own[type]) continue;
      ++fromFile;
      theMifareObj->SetSectorKey(card.Uid(), sector, keyNum, *result.found[type]);
    }
    report << tr("%1 works on %2 of %3 sectors (%4 from the file).")
                  .arg(type == 0 ? tr("Key A") : tr("Key B"))
                  .arg(works)
                  .arg(sectors)
                  .arg(fromFile);
    if (!missing.isEmpty()) report << tr("No working key: sectors %1.").arg(missing.join(", "));
  }
  if (completed < sectors)
    report << tr("Stopped at sector %1: the other sectors were not tried.")
                  .arg(completed, 2, 10, QLatin1Char('0'));
  FillSectorKeys();
  Alert(QStringLiteral("Information"), report.join(QLatin1Char('\n')));
}

void mainWndController::ToggleKeyDrawer() {
  drawerkeys->setVisible(drawerkeys->isHidden());
}
