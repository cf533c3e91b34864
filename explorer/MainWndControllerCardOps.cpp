// mainWndController: the frame shared by card operations, read all and write all.

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>

#include "MainWndController.h"
#include "QVHexTextView.h"
#include "QVMifareObj.h"

void mainWndController::RunCardOperation(const QString& statusText, const QButtonGroup* keyGroup,
                                         const CardAction& operation,
                                         const LostCardAction& lostCard) {
  InvalidateScanTimer();
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
  SetStatus(QStringLiteral("Exploring RF field ..."));
}

int mainWndController::KeyNumber(const QButtonGroup* keyGroup) {
  return keyGroup->checkedId() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B;
}

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
          Alert(QStringLiteral("Error"),
                QStringLiteral("Data cannot be read, please check Keys or Access Bit\n\n"
                               "Reading stopped after %1 bytes: %2")
                    .arg(data.size())
                    .arg(FailureText(status)));
        }
      },
      [this](const std::shared_ptr<QVMifareCard>& card) { DropLostCard(card); });
}

void mainWndController::writeAllData() {
  if (!IsScanning()) return;
  RunCardOperation(
      QStringLiteral("Writing data ..."), keyAorB,
      [this](QVMifareCard& card, int keyNum) {
        const int status = theMifareObj->WriteAllSector(card, dataView->getBufferData(), keyNum);
        if (status != 0) {
          Alert(QStringLiteral("Error"),
                QStringLiteral("Data cannot be written, please check Keys or Access Bit\n\n%1")
                    .arg(FailureText(status)));
        }
      },
      [this](const std::shared_ptr<QVMifareCard>& card) { DropLostCard(card); });
}

void mainWndController::DropLostCard(const std::shared_ptr<QVMifareCard>& card) {
  theMifareObj->RemoveCard(*card);
  dataView->clear();
  fillTreeDataSource();
}
