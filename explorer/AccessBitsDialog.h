// SPDX-License-Identifier: MIT
#pragma once
// The access bits dialog: shows the access conditions of one sector as read from its trailer,
// lets the user choose new conditions for the data blocks and for the trailer and new keys A and
// B, and writes the trailer back. The window that opens it supplies the card, the sector, the card
// access object and the alerts (AccessBitsHost).

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>

#include "AccessBits.h"
#include "dump/CardImage.h"
#include "norvexapi.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QVMifareCard;
class QVMifareObj;

// What the access bits dialog needs from the main window.
class AccessBitsHost {
 public:
  virtual std::shared_ptr<QVMifareCard> SelectedCard() const = 0;
  virtual int SelectedSector() const = 0;
  virtual QVMifareObj& MifareObj() = 0;
  // Selects that card in the field again; false when it is no longer there.
  virtual bool ReselectCard(const QVMifareCard& card) = 0;
  // Empties the card tree, so that the next scan tick rebuilds it with fresh key texts.
  virtual void ResetCardTree() = 0;
  virtual void Alert(const QString& title, const QString& text) = 0;

 protected:
  ~AccessBitsHost() = default;
};

class AccessBitsDialog : public QDialog {
  Q_OBJECT

 public:
  AccessBitsDialog(AccessBitsHost& host, QWidget* parent = nullptr);

  // Reads the sector's trailer with key A (0x60) or key B (0x61) of the card record and shows it;
  // steps before the dialog is run. A failed read is reported and leaves every byte 0.
  void Load(const QVMifareCard& card, int sector, uint8_t keyType);

  // Writes the chosen access bytes and keys into the trailer of the selected card's sector.
  void btnWriteACL();
  // Hides the dialog and ends its modal run.
  void btnCloseAccessBits();

 private:
  // The widgets of one box (conditions as read, or to be written; object names "ACLcurrent..."
  // and "ACLnew..."): bytes 6 to 8 in hex and in binary, the data-block and trailer rows and the
  // C1, C2, C3 boxes of each.
  struct ConditionFields {
    std::array<QLineEdit*, 3> byte{};      // <box>Byte6 .. 8
    std::array<QLineEdit*, 3> byteBits{};  // <box>Byte6Bits .. 8Bits
    QComboBox* dataArea = nullptr;
    std::array<QCheckBox*, 3> dataAreaC{};  // C1, C2, C3
    QComboBox* trailerArea = nullptr;
    std::array<QCheckBox*, 3> trailerAreaC{};
    // <box>KeyBNote: says when these conditions let key B be read, so that the card refuses it
    // for data access.
    QLabel* keyBNote = nullptr;
  };

  // Widgets (AccessBitsDialogLayout.cpp).
  void BuildLayout();
  QWidget* BuildCurrentBox();
  QWidget* BuildNewBox();
  QGridLayout* BuildConditionRows(QWidget* box, const QString& prefix, ConditionFields& fields);

  void GetCurrentACL(const QVMifareCard& card, uint8_t keyType, int sector);
  void RefreshInfo();
  void ShowUnknown();
  void RefreshInfoForNewValue();
  // Bytes 6, 7, 8 in hex and binary and the C1, C2, C3 boxes of both areas.
  static void ShowConditions(const access_bits::AccessBytes& bytes, const ConditionFields& fields);
  QString CardText(int sector, const QVMifareCard& card, const char* format) const;
  // The trailer the dialog would write: new key A, bytes 6 to 9, new key B.
  norvex::dump::Block NewTrailer() const;

  AccessBitsHost& host;

  ConditionFields ACLcurrent;
  QLineEdit* ACLcurrentKeyB = nullptr;
  ConditionFields ACLnew;
  QLineEdit* ACLnewKeyA = nullptr;
  QLineEdit* ACLnewKeyB = nullptr;

  _MIF_KEY_ _currentKeyB{};
  _MIF_KEY_ _newKeyA{};
  _MIF_KEY_ _newKeyB{};
  _MIF_KEY_ _writeKey{};
  uint8_t currentB6 = 0, currentB7 = 0, currentB8 = 0, currentB9 = 0;
  uint8_t newB6 = 0, newB7 = 0, newB8 = 0, newB9 = 0;
  // The trailer was read: without it nothing is shown as current conditions, none are invented.
  bool currentKnown = false;
};
