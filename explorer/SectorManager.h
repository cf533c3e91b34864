// SPDX-License-Identifier: MIT
#pragma once
// The sector manager of the Mifare Classic view: a window-modal sheet that reads, writes and
// clears one sector of the selected card with the key chosen in it, and opens the access bits
// dialog for that sector. Every write and clear is read back; Write acts only on the sector the
// view shows as read from this card.

#include <QDialog>
#include <functional>
#include <memory>

#include "AccessBitsDialog.h"

class CardViewHost;
class QButtonGroup;
class QComboBox;
class QVHexTextView;
class QVMifareCard;

class SectorManager : public QDialog, public AccessBitsHost {
  Q_OBJECT

 public:
  // What a sector read found: the Classic view takes it into the card's whole-card image.
  using SectorRead = std::function<void(const QVMifareCard& card, int sector, const QByteArray&)>;

  SectorManager(CardViewHost& host, SectorRead onRead, QWidget* parent);

  // The card the sheet acts on (null: none): its sectors are offered, a view of another card's
  // sector is emptied.
  void SetCard(const std::shared_ptr<QVMifareCard>& card);
  // Opens the sheet (window-modal).
  void Open();

  // AccessBitsHost.
  std::shared_ptr<QVMifareCard> SelectedCard() const override { return card; }
  int SelectedSector() const override;
  QVMifareObj& MifareObj() override;
  bool ReselectCard(const QVMifareCard& card) override;
  void ResetCardTree() override;
  void Alert(const QString& title, const QString& text) override;

 private:
  enum Operation { kRead = 0, kWrite = 1, kClear = 2 };
  void Build();
  QWidget* BuildSegmentedControl();
  // The sector list of a card of `sectors` sectors: 5 on a Mini, 16 on a 1K, 40 on a 4K.
  void FillSectorList(int sectors);
  void RunOperation();
  void ReadSector();
  void WriteSector();
  void ClearSector();
  // Writes `data(sector)` into the chosen sector; a failure is reported as "cannot be <verb>".
  void WriteSectorData(const QString& status, const char* verb,
                       const std::function<QByteArray(int sector)>& data);
  // Runs `operation` on the selected card with the sheet's key choice; a card that left the field
  // empties the view.
  void RunSectorCall(const QString& status,
                     const std::function<void(QVMifareCard&, int keyNum, int sector)>& operation);
  // The view no longer shows the chosen sector: empty it, no write until read.
  void ForgetView();
  void ShowAccessBits();

  CardViewHost& host;
  SectorRead sectorRead;
  std::shared_ptr<QVMifareCard> card;
  QComboBox* sectorsel = nullptr;
  QButtonGroup* sectorKey = nullptr;
  QButtonGroup* operations = nullptr;
  QVHexTextView* sectorData = nullptr;
  AccessBitsDialog* accessBits = nullptr;
  // Card UID and sector whose data the view holds (-1: none).
  QString viewUid;
  int viewSector = -1;
};
