// SPDX-License-Identifier: MIT
// mainWndController: what the frame does. Start-up and end, the RF scan, the card tree's
// selection and the views shown for it, the card calls and jobs the views run. The widgets are
// built in MainWndControllerLayout.cpp.

#include "MainWndController.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QUndoStack>
#include <algorithm>

#include "CardViews.h"
#include "CardWorker.h"
#include "ClassicView.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"
#include "ReaderPorts.h"

namespace {

constexpr int kStatusMessageMs = 6000;
const QString kReady = QStringLiteral("Ready...");
const QString kExploring = QStringLiteral("Exploring RF field ...");

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
  BuildTraceDock();
  BuildMenus();
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
  ShowScanning(false);
  SetStatus(kReady);
  modelCmb->setCurrentIndex(0);
  RefreshPorts();
  theMifareObj->SetDebugMode(false);
  ShowSelectedCard();
}

mainWndController::~mainWndController() {
  // The body only stops the scan timer. Then the members go in reverse declaration order, so
  // the card access object (which disconnects a reader still open) is destroyed while the widgets
  // still exist; the widgets, the timer and the dialogs are children of the window and go last,
  // in QMainWindow's destructor. A job still running ends first: it uses the card access object.
  worker->Abandon();
  aTimerScansione->stop();
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

void mainWndController::ShowMessage(const QString& text) {
  statusBar()->showMessage(text, kStatusMessageMs);
}

QString mainWndController::ChooseFile(bool forSaving, const QString& title, const QString& filter) {
  return chooseFile ? chooseFile(forSaving, title, filter) : QString();
}

void* mainWndController::Session() {
  return theMifareObj->Session();
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
  theMifareObj->DisconnectToReader();
  ShowScanning(false);
  SetStatus(kReady);
}

bool mainWndController::IsScanning() const {
  return !stopBtn->isHidden();
}

void mainWndController::scansioneRF() {
  aTimerScansione->stop();
  theMifareObj->RegisterCardsInField();
  DropCardsGone();
  fillTreeDataSource();
  ScheduleScan(theMifareObj->DelayForWaitCard());
}

void mainWndController::DropCardsGone() {
  const auto cards = theMifareObj->RegisteredCards();
  for (const auto& card : cards)
    if (!card->InField() && !HoldsEdits(*card)) theMifareObj->RemoveCard(*card);
}

void mainWndController::fillTreeDataSource() {
  if (!theTreeDataSource->RebuildFromCards(theMifareObj->RegisteredCards())) return;
  // The rebuild drops the selection; the card chosen before keeps it when it is still there.
  if (const auto card = chosenCard.lock()) SelectCardRow(*card);
}

void mainWndController::RefreshCardTree() {
  // The next scan tick rebuilds the tree with the records as they are now.
  theTreeDataSource->resetData();
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
  ShowSelectedCard();  // the views' card actions need the reader
}

void mainWndController::SetStatus(const QString& text) {
  infoOper->setTitle(text);
}

// ---- The card tree's selection and the views shown for it ---------------------------------

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

std::vector<CardView*> mainWndController::ViewsFor(const QVMifareCard* card) const {
  std::vector<CardView*> accepting;
  if (card == nullptr) {
    if (classicView->ShowsImage()) accepting.push_back(classicView);
    return accepting;
  }
  for (CardView* view : views)
    if (view->Accepts(*card)) accepting.push_back(view);
  return accepting;
}

void mainWndController::ArrangeTabs(const QVMifareCard* card) {
  const std::vector<CardView*> wanted = ViewsFor(card);
  placeholder->setText(card == nullptr
                           ? tr("No card selected.")
                           : tr("No view for card %1 (%2).").arg(card->Uid(), card->CardType()));
  if (wanted == shownViews && viewTabs->count() > 0) return;
  shownViews = wanted;
  const QSignalBlocker quiet(viewTabs);
  viewTabs->clear();
  for (CardView* view : shownViews) viewTabs->addTab(view, view->windowTitle());
  if (shownViews.empty()) viewTabs->addTab(placeholder, tr("Card"));
  viewTabs->setCurrentIndex(0);
}

void mainWndController::ShowSelectedCard() {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  ArrangeTabs(card.get());
  // A view not shown lets go of the card it showed.
  for (CardView* view : views) {
    const bool shown = std::find(shownViews.begin(), shownViews.end(), view) != shownViews.end();
    view->ShowCard(shown ? card : nullptr);
  }
  ArrangeTabs(card.get());  // the Classic view may have dropped the image it showed
  UpdateMenus();
}

bool mainWndController::ClassicShown() const {
  return std::find(shownViews.begin(), shownViews.end(), classicView) != shownViews.end();
}

void mainWndController::UpdateMenus() {
  // The dump and editing actions act on the Classic view: only while it is shown, never in a job.
  const bool classic = ClassicShown() && !IsBusy();
  openDumpAction->setEnabled(!IsBusy() && (classic || !SelectedCard()));
  saveDumpAction->setEnabled(classic && classicView->ShowsImage());
  const QUndoStack* history = classicView->UndoStack();
  undo->setEnabled(classic && history->canUndo());
  redo->setEnabled(classic && history->canRedo());
}

bool mainWndController::HoldsEdits(const QVMifareCard& card) const {
  return std::any_of(views.begin(), views.end(),
                     [&card](CardView* view) { return view->HoldsEdits(card); });
}

std::shared_ptr<QVMifareCard> mainWndController::Registered(const QVMifareCard& card) const {
  for (const auto& registered : theMifareObj->RegisteredCards())
    if (registered.get() == &card) return registered;
  return nullptr;
}

// ---- The card calls and jobs of the views ------------------------------------------------

bool mainWndController::RunCardCall(const QVMifareCard& card, const QString& status,
                                    const std::function<void()>& call) {
  const std::shared_ptr<QVMifareCard> record = Registered(card);
  if (!record || !IsScanning() || IsBusy()) return false;
  aTimerScansione->stop();
  SetStatus(status);
  // The library call blocks the GUI thread: show the status before it starts.
  infoOper->repaint();
  bBusy = 1;
  const bool present = theMifareObj->ReselectCard(card);
  if (present) call();
  bBusy = 0;
  if (!present) DropLostCard(record);
  ScheduleScan(theMifareObj->DelayForWaitCard());
  SetStatus(kExploring);
  return present;
}

bool mainWndController::RunCardJob(const QVMifareCard& card, const QString& status, int count,
                                   JobStep step, JobDone done) {
  const std::shared_ptr<QVMifareCard> record = Registered(card);
  if (!record || !IsScanning() || worker->IsRunning()) return false;
  aTimerScansione->stop();
  SetStatus(status);
  bBusy = 1;
  if (!theMifareObj->ReselectCard(card)) {
    DropLostCard(record);
    FinishCardJob();
    return false;
  }
  ShowJob(count);
  worker->Start(count, std::move(step),
                [this, record, done = std::move(done)](int completed, bool cancelled) {
                  done(completed, cancelled);
                  FinishCardJob();
                });
  return true;
}

void mainWndController::FinishCardJob() {
  bBusy = 0;
  ShowJob(-1);
  if (IsScanning()) ScheduleScan(theMifareObj->DelayForWaitCard());
  SetStatus(IsScanning() ? kExploring : kReady);
  emit cardJobFinished();
}

void mainWndController::ShowJob(int count) {
  // While a job runs only Cancel acts: everything else would use the card or change what is shown.
  const bool running = count >= 0;
  jobProgress->setVisible(running);
  cancelBtn->setVisible(running);
  cancelBtn->setEnabled(running);
  if (running) {
    jobProgress->setRange(0, count);
    jobProgress->setValue(0);
  }
  treeCard->setEnabled(!running);
  stopBtn->setEnabled(!running);
  for (CardView* view : views) view->SetBusy(running);
  UpdateMenus();
}

void mainWndController::cancelCardJob() {
  worker->Cancel();
  cancelBtn->setEnabled(false);
}

void mainWndController::DropLostCard(const std::shared_ptr<QVMifareCard>& card) {
  if (HoldsEdits(*card)) {
    // Unsaved edits outlive the card's presence: the row stays, marked, and the user decides.
    card->SetMissedScans(QVMifareCard::kScansToLeave);
    Alert(QStringLiteral("Information"),
          tr("Card %1 has left the field. Its edits are kept: put the card back and select it "
             "to write them, or discard them.")
              .arg(card->Uid()));
  } else {
    theMifareObj->RemoveCard(*card);
  }
  fillTreeDataSource();
  ShowSelectedCard();
}
