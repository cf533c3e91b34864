// mainWndController: the sector manager sheet (read, write and clear one sector, each write and
// clear read back) and the access bits dialog opened from it.

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>

#include "MainWndController.h"
#include "MifareGeometry.h"
#include "QVHexTextView.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"

namespace {

enum SectorOperation { kReadSector = 0, kWriteSector = 1, kClearSector = 2 };

}  // namespace

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

void mainWndController::readDataForSector() {
  const int sector = SelectedSector();
  RunCardOperation(
      QStringLiteral("Reading data ..."), sectorKey,
      [this, sector](QVMifareCard& card, int keyNum) {
        QByteArray data;
        int numBytes = 0;
        if (theMifareObj->ReadSector(card, sector, keyNum, data, numBytes) != 0) {
          Alert(QStringLiteral("Error"),
                QStringLiteral("Data cannot be read, please check Keys or Access Bit"));
          return;
        }
        sectorData->refresh(data.left(numBytes));
      },
      [this](const std::shared_ptr<QVMifareCard>&) { sectorData->clear(); });
}

void mainWndController::writeDataForSector() {
  const int sector = SelectedSector();
  RunCardOperation(
      QStringLiteral("Writing data ..."), sectorKey,
      [this, sector](QVMifareCard& card, int keyNum) {
        const QByteArray data =
            sectorData->getBufferData().left(mifare_geometry::SectorDataSize(sector));
        const int status = theMifareObj->WriteSector(card, sector, keyNum, data);
        if (status != 0) {
          Alert(QStringLiteral("Error"),
                QStringLiteral("Data cannot be written, please check Keys or Access Bit\n\n%1")
                    .arg(FailureText(status)));
        }
      },
      [this](const std::shared_ptr<QVMifareCard>&) { sectorData->clear(); });
}

void mainWndController::clearDataForSector() {
  const int sector = SelectedSector();
  RunCardOperation(
      QStringLiteral("Clear data ..."), sectorKey,
      [this, sector](QVMifareCard& card, int keyNum) {
        const QByteArray zeros(mifare_geometry::SectorDataSize(sector), '\0');
        const int status = theMifareObj->WriteSector(card, sector, keyNum, zeros);
        if (status != 0) {
          Alert(QStringLiteral("Error"),
                QStringLiteral("Data cannot be cleared, please check Keys or Access Bit\n\n%1")
                    .arg(FailureText(status)));
        }
      },
      [this](const std::shared_ptr<QVMifareCard>&) { sectorData->clear(); });
}

void mainWndController::showAccessBitDialog() {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card) return;
  const int sector = SelectedSector();
  // The dialog is modal: no scan tick runs while it is open, as during any card operation.
  const bool scanning = IsScanning();
  InvalidateScanTimer();
  dlgaccessbit->Load(*card, sector, static_cast<uint8_t>(KeyNumber(sectorKey)));
  dlgaccessbit->exec();
  if (scanning) ScheduleScan(theMifareObj->DelayForWaitCard());
}
