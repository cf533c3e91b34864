// mainWndController: starting and stopping the RF scan, the scan tick and the card tree rebuild.

#include <QComboBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include "MainWndController.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"

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
  SetStatus(QStringLiteral("Exploring RF field ..."));
}

void mainWndController::stopScan() {
  InvalidateScanTimer();
  ShowScanning(false);
  SetStatus(QStringLiteral("Ready..."));
  theMifareObj->DisconnectToReader();
}

void mainWndController::scansioneRF() {
  InvalidateScanTimer();
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

void mainWndController::InvalidateScanTimer() {
  aTimerScansione->stop();
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
