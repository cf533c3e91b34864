// SPDX-License-Identifier: MIT
#pragma once
// The view of a Mifare Classic card (Mini, 1K, 4K, 4- or 7-byte UID): the whole-card hex/ASCII
// editor with Read all and Write all, dump files, the key manager side panel and the sector
// manager sheet.
//
// Card data is never invented: the editor shows the image of the shown card only (images are kept
// per card UID, edits included, also after the card left the field), only blocks read from the
// card or loaded from a dump can be edited, and Write all writes only the blocks changed since
// they were read (or loaded), never block 0; another card's dump is written only after the user
// confirmed it, naming both cards.

#include <QByteArray>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "CardImage.h"
#include "CardView.h"

namespace norvex::dump {
class CardImage;
}

class KeyManager;
class QButtonGroup;
class QGroupBox;
class QPushButton;
class QUndoStack;
class QVAsciiView;
class QVHexTextView;
class SectorManager;

class ClassicView : public CardView {
  Q_OBJECT

 public:
  explicit ClassicView(CardViewHost& host, QWidget* parent = nullptr);

  bool Accepts(const QVMifareCard& card) const override;
  void ShowCard(const std::shared_ptr<QVMifareCard>& card) override;
  void SetBusy(bool busy) override;
  bool HoldsEdits(const QVMifareCard& card) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 public:
  // Whether an image is on show (a card's, or a dump's opened without a card).
  bool ShowsImage() const;
  QUndoStack* UndoStack() const;

  // Actions.
  void ReadAll();
  void WriteAll();
  // The file's data blocks become the shown card's image (without a card, the image of the
  // dump's own card), to be edited and written with Write all.
  void OpenDump();
  // The image on show, edits included, in the format of the file's extension.
  void SaveDump();
  // Drops the edits of the image on show (and the image itself when its card is gone).
  void DiscardEdits();
  void ToggleKeys();
  void OpenSectors();

 signals:
  // What can be done changed (an image shown or gone, edits made, a job ended): the frame
  // updates its menus.
  void stateChanged();

 private:
  void Build();
  QWidget* BuildEditorBox();
  // With the key panel open on a narrow screen the ASCII column gives way, so that the hex side
  // keeps all 16 columns in view.
  void FitColumns();

  void ShowTitle();
  // The editor's bytes are taken into their image before anything else looks at it.
  void StashEditor();
  CardImage* ShownImage();
  const CardImage* ShownImage() const;
  void ShowImageOf(const QString& uid);
  void ShowImage(const CardImage& image);
  void ShowNothing();
  void UpdateEditorState();
  int EditedBlocks();
  // Images of cards no longer registered and without edits are dropped.
  void DropStaleImages();
  bool IsRegistered(const QString& uid) const;
  // "card 01020304 (card.mct)": where the foreign blocks of an image come from.
  static QString OriginText(const CardImage& image);
  void ApplyDumpKeys(const QString& uid, const norvex::dump::CardImage& dump);
  int KeyNumber() const;

  // Read all: every sector, each with the chosen key type first and then the other one; a sector
  // that cannot be read is marked and the read goes on.
  struct SectorRead {
    bool ok = false;
    QByteArray data;
    QString why;
    CardImage::OpeningKey opening;  // the key that read it, when ok
  };
  bool ReadSectorAnyKey(QVMifareCard& card, int sector, int keyNum, SectorRead& result);
  void StoreWholeCardRead(const QVMifareCard& card, const std::vector<SectorRead>& results,
                          int completed, bool cancelled);
  // Write all: only the blocks changed since they were read, each with either key type.
  struct BlockWrite {
    int block = 0;
    std::array<uint8_t, 16> data{};
    bool ok = false;
    QString why;
  };
  bool WriteBlockAnyKey(QVMifareCard& card, int keyNum, BlockWrite& result);
  void StoreWholeCardWrite(const QVMifareCard& card, const std::vector<BlockWrite>& results,
                           int completed, bool cancelled);
  // A sector read in the sector manager: the image learns what the card holds now.
  void TakeSectorRead(const QVMifareCard& card, int sector, const QByteArray& bytes);

  std::shared_ptr<QVMifareCard> card;
  bool busy = false;
  std::map<QString, CardImage> images;
  QString shownUid;

  QGroupBox* infoCard = nullptr;
  QVHexTextView* dataView = nullptr;
  QVAsciiView* textDataView = nullptr;
  QButtonGroup* keyAorB = nullptr;
  QPushButton* readAllBtn = nullptr;
  QPushButton* writeAllBtn = nullptr;
  QPushButton* sectMngBtn = nullptr;
  QPushButton* keyMngBtn = nullptr;
  QPushButton* discardBtn = nullptr;
  KeyManager* keys = nullptr;
  SectorManager* sectors = nullptr;
};
