// mainWndController: start-up, alerts and application end.

#include "MainWndController.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "QVHexTextView.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"

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
    RunModalAlert(
        title, text,
        QApplication::activeModalWidget() != nullptr ? QApplication::activeModalWidget() : this);
  });
}

mainWndController::~mainWndController() {
  // The window's widgets go before the card access object, which disconnects a reader still open.
  aTimerScansione->stop();
}

void mainWndController::awakeFromNib() {
  dataView->setAsciiView(textDataView);
  prgbarPbi->hide();
  startBtn->setEnabled(true);
  stopBtn->setEnabled(false);
  stopBtn->hide();
  dataView->clear();
  SetStatus(QStringLiteral("Ready..."));
  infoCard->setTitle(QStringLiteral("No card selected"));
  infoKeysTitle->setTitle(QStringLiteral("No card selected"));
  modelCmb->setCurrentIndex(0);
  portCmb->setCurrentIndex(0);
  sectorsel->clear();
  for (int sector = 0; sector < 40; ++sector) sectorsel->addItem(QString::asprintf("%02d", sector));
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

QString mainWndController::FailureText(int status) const {
  // -1 is the card access object's own refusal, whose reason is in its message slot.
  if (status == -1) return theMifareObj->ErrorMsg();
  return theMifareObj->ErrorText(status);
}

bool mainWndController::IsScanning() const {
  return !stopBtn->isHidden();
}

void mainWndController::SetStatus(const QString& text) {
  infoOper->setTitle(text);
}

void mainWndController::applicationWillTerminate() {
  if (IsScanning()) stopScan();
}
