#pragma once
// The access bits dialog: shows the access conditions of one sector as read from its trailer,
// lets the user choose new conditions for the data blocks and for the trailer and new keys A and
// B, and writes the trailer back. The window that opens it supplies the card, the sector, the card
// access object and the alerts (AccessBitsHost).

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>

#include "AccessBitsDialogBits.h"
#include "norvexapi.h"

class QCheckBox;
class QComboBox;
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

  // The bytes and keys as they stand (for the window and the tests).
  access_bits::AccessBytes CurrentBytes() const { return {currentB6, currentB7, currentB8}; }
  access_bits::AccessBytes NewBytes() const { return {newB6, newB7, newB8}; }
  uint8_t GeneralPurposeByte() const { return newB9; }
  const _MIF_KEY_& WriteKey() const { return _writeKey; }

 private:
  void BuildLayout();
  QWidget* BuildCurrentBox();
  QWidget* BuildNewBox();
  void GetCurrentACL(const QVMifareCard& card, uint8_t keyType, int sector);
  void RefreshInfo();
  void RefreshInfoForNewValue();
  void ShowNewBytes();
  void ShowBits(const access_bits::AreaBits& bits, const std::array<QCheckBox*, 3>& boxes);
  QString CardText(int sector, const QVMifareCard& card, const char* format) const;

  AccessBitsHost& host;

  std::array<QLineEdit*, 3> ACLcurrentByte{};      // ACLcurrentByte6 .. 8
  std::array<QLineEdit*, 3> ACLcurrentByteBits{};  // ACLcurrentByte6Bits .. 8Bits
  QComboBox* ACLcurrentDataArea = nullptr;
  std::array<QCheckBox*, 3> ACLcurrentDataAreaC{};  // C1, C2, C3
  QComboBox* ACLcurrentTrailerArea = nullptr;
  std::array<QCheckBox*, 3> ACLcurrentTrailerAreaC{};
  QLineEdit* ACLcurrentKeyB = nullptr;
  std::array<QLineEdit*, 3> ACLnewByte{};
  std::array<QLineEdit*, 3> ACLnewByteBits{};
  QComboBox* ACLnewDataArea = nullptr;
  std::array<QCheckBox*, 3> ACLnewDataAreaC{};
  QComboBox* ACLnewTrailerArea = nullptr;
  std::array<QCheckBox*, 3> ACLnewTrailerAreaC{};
  QLineEdit* ACLnewKeyA = nullptr;
  QLineEdit* ACLnewKeyB = nullptr;

  _MIF_KEY_ _currentKeyB{};
  _MIF_KEY_ _newKeyA{};
  _MIF_KEY_ _newKeyB{};
  _MIF_KEY_ _writeKey{};
  uint8_t currentB6 = 0, currentB7 = 0, currentB8 = 0, currentB9 = 0;
  uint8_t newB6 = 0, newB7 = 0, newB8 = 0, newB9 = 0;
};
