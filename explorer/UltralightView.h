// SPDX-License-Identifier: MIT
#pragma once
// The view of an Ultralight / NTAG tag (Ultralight, Ultralight C, Ultralight EV1, NTAG21x): its
// pages in rows of four bytes with their roles (UID and BCC, lock bytes, OTP / capability
// container, configuration), the chip and the range its password or 3DES key protects. Read all
// reads as far as the tag lets it (FAST_READ where the chip has it); pages read can be edited
// unless the lock bits made them read-only, and Write changed pages writes the pages edited,
// those that set lock or OTP bits or change the protection only after a confirmation naming
// them. A password (with its PACK) or an Ultralight C key typed in authenticates every read and
// write that follows; a refused one is forgotten at once, never tried again.

#include <QByteArray>
#include <QString>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "CardView.h"
#include "Type2Access.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class UltralightView : public CardView {
  Q_OBJECT

 public:
  explicit UltralightView(CardViewHost& viewHost, QWidget* parent = nullptr);

  bool Accepts(const QVMifareCard& card) const override;
  void ShowCard(const std::shared_ptr<QVMifareCard>& card) override;
  void SetBusy(bool busy) override;
  bool HoldsEdits(const QVMifareCard& card) override;

  // What the view holds of one tag: the pages as the tag gave them and as edited.
  struct TagImage {
    bool identified = false;
    uint8_t chip = 0;              // MIFU_CHIP_*
    QString chipBasis;             // what told the chip
    std::vector<uint8_t> card;     // the tag's bytes as read, whole pages from page 0
    std::vector<uint8_t> shown;    // with the edits
    std::vector<bool> read;        // per page
    unsigned refusedFrom = 0;      // first page the tag refused to read (0: none)
    Type2Credentials credentials;  // accepted by the tag
    const norvex::dump::Type2Chip& Chip() const;
    unsigned Pages() const { return static_cast<unsigned>(read.size()); }
    bool Edited(unsigned page) const;
    bool Locked(unsigned page) const;
    // The tag's bytes as far as read without a gap: what lock bits and protection are read from.
    std::span<const uint8_t> ReadBytes() const;
  };

 private:
  void BuildLayout();
  void Authenticate();
  void ReadAll();
  void StartRead();
  void WriteChanged();
  void StartWrite(const std::vector<unsigned>& pages);
  void PageEdited(QTableWidgetItem* item);
  void PageDoubleClicked(QTableWidgetItem* item);
  void Render();
  void RenderRow(unsigned page);
  QString CardName() const;
  TagImage* Image();

  std::shared_ptr<QVMifareCard> current;
  std::map<QString, TagImage> images;  // by UID text
  bool busy = false;
  bool rendering = false;

  QLabel* chipLabel = nullptr;
  QLabel* protectionLabel = nullptr;
  QLineEdit* secretEdit = nullptr;
  QLineEdit* packEdit = nullptr;
  QPushButton* authButton = nullptr;
  QLabel* authLabel = nullptr;
  QPushButton* readButton = nullptr;
  QPushButton* writeButton = nullptr;
  QTableWidget* pageTable = nullptr;
};
