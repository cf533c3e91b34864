// SPDX-License-Identifier: MIT
// AccessBitsDialog: reading the trailer, showing current and new conditions, and writing.

#include "AccessBitsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "dump/Hex.h"
#include "dump/TrailerSafety.h"

using access_bits::AccessBytes;
using access_bits::AreaBits;

namespace {

constexpr uint8_t kKeyA = MIF_KEY_TYPE_A;
constexpr uint8_t kKeyB = MIF_KEY_TYPE_B;
// What the key B field shows when the trailer could not be read.
constexpr uint8_t kUnreadKeyByte = 0xA1;

QString Hex(uint8_t byte) {
  return QString::fromStdString(norvex::hex::encode(&byte, 1));
}

QString KeyText(const _MIF_KEY_& key, std::string_view separator = {}) {
  return QString::fromStdString(norvex::hex::encode(key.KeyValue, sizeof key.KeyValue, separator));
}

void SetKey(_MIF_KEY_& key, uint8_t type, const QString& text) {
  key.KeyType = type;
  const std::vector<uint8_t> bytes =
      norvex::hex::decode(text.toStdString()).value_or(std::vector<uint8_t>{});
  std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 6), key.KeyValue);
}

}  // namespace

AccessBitsDialog::AccessBitsDialog(AccessBitsHost& cardHost, QWidget* parent)
    : QDialog(parent), host(cardHost) {
  BuildLayout();
  RefreshInfo();
}

void AccessBitsDialog::Load(const QVMifareCard& card, int sector, uint8_t keyType) {
  card.GetKeyA(_newKeyA.KeyValue);
  card.GetKeyB(_newKeyB.KeyValue);
  _writeKey.KeyType = keyType == kKeyA ? kKeyA : kKeyB;
  if (_writeKey.KeyType == kKeyA) {
    card.GetKeyA(_writeKey.KeyValue);
  } else {
    card.GetKeyB(_writeKey.KeyValue);
  }
  GetCurrentACL(card, _writeKey.KeyType, sector);
  RefreshInfo();
  ACLnew.dataArea->setFocus();
  setWindowTitle(CardText(sector, card, "Access Bit for Card %1 - Sector %2 - Using Writing Key ") +
                 QLatin1Char(_writeKey.KeyType == kKeyA ? 'A' : 'B'));
}

void AccessBitsDialog::GetCurrentACL(const QVMifareCard& card, uint8_t keyType, int sector) {
  currentB6 = currentB7 = currentB8 = currentB9 = 0;
  newB6 = newB7 = newB8 = newB9 = 0;
  currentKnown = false;
  if (!host.ReselectCard(card)) return;
  QVMifareObj& obj = host.MifareObj();
  std::fill(std::begin(_currentKeyB.KeyValue), std::end(_currentKeyB.KeyValue), kUnreadKeyByte);
  std::array<uint8_t, 4> acl{};
  _MIF_KEY_ keyRead{};
  if (obj.ReadACL(card, sector, keyType, acl, keyRead) != 0) {
    host.Alert(QStringLiteral("Error"), CardText(sector, card, "Error ReadACL %2 on Card ID: %1"));
    return;
  }
  _currentKeyB = keyRead;
  currentKnown = true;
  currentB6 = newB6 = acl[0];
  currentB7 = newB7 = acl[1];
  currentB8 = newB8 = acl[2];
  currentB9 = newB9 = acl[3];
}

void AccessBitsDialog::RefreshInfo() {
  ShowConditions({currentB6, currentB7, currentB8}, ACLcurrent);
  ShowConditions({newB6, newB7, newB8}, ACLnew);
  ACLcurrentKeyB->setText(KeyText(_currentKeyB, " ") + QLatin1Char(' '));
  ACLnewKeyA->setText(KeyText(_newKeyA));
  ACLnewKeyB->setText(KeyText(_newKeyB));

  const auto row = [](const std::array<QCheckBox*, 3>& boxes) {
    return access_bits::ValutateDataBits(boxes[0]->isChecked() ? 1 : 0,
                                         boxes[1]->isChecked() ? 1 : 0,
                                         boxes[2]->isChecked() ? 1 : 0);
  };
  const int dataRow = row(ACLcurrent.dataAreaC);
  const int trailerRow = row(ACLcurrent.trailerAreaC);
  // Showing the rows read is not a choice: the new bytes stay exactly as read.
  const QSignalBlocker blockData(ACLnew.dataArea);
  const QSignalBlocker blockTrailer(ACLnew.trailerArea);
  for (const ConditionFields* fields : {&ACLcurrent, &ACLnew}) {
    fields->dataArea->setCurrentIndex(currentKnown ? dataRow : -1);
    fields->trailerArea->setCurrentIndex(currentKnown ? trailerRow : -1);
  }
  if (!currentKnown) ShowUnknown();
}

void AccessBitsDialog::ShowUnknown() {
  // Nothing read: no bytes, bits, rows or key B to show, and the user chooses every new row.
  for (const ConditionFields* fields : {&ACLcurrent, &ACLnew}) {
    for (std::size_t i = 0; i < fields->byte.size(); ++i) {
      fields->byte[i]->setText(QStringLiteral("--"));
      fields->byteBits[i]->setText(QStringLiteral("--------"));
    }
    for (const auto* boxes : {&fields->dataAreaC, &fields->trailerAreaC})
      for (QCheckBox* box : *boxes) box->setChecked(false);
    fields->keyBNote->clear();
  }
  ACLcurrentKeyB->setText(QStringLiteral("-- -- -- -- -- -- "));
}

void AccessBitsDialog::RefreshInfoForNewValue() {
  const AccessBytes bytes = access_bits::GenerateACLBytes(ACLnew.dataArea->currentIndex(),
                                                          ACLnew.trailerArea->currentIndex());
  newB6 = bytes.b6;
  newB7 = bytes.b7;
  newB8 = bytes.b8;
  ShowConditions(bytes, ACLnew);
}

void AccessBitsDialog::btnWriteACL() {
  const std::shared_ptr<QVMifareCard> card = host.SelectedCard();
  if (!card) return;
  const int sector = host.SelectedSector();
  // Without the trailer as read, byte 9 and the conditions would be guesses: nothing is sent.
  if (!currentKnown) {
    host.Alert(QStringLiteral("Error"),
               CardText(sector, *card,
                        "The trailer of sector %2 on Card ID: %1 could not be read, so nothing was "
                        "written.\nOpen the dialog again with a key that can read the trailer."));
    return;
  }
  // The keys as the card record would take them from the fields (a malformed text keeps the
  // record's key), tried on a copy: the record changes only once the trailer is written.
  QVMifareCard chosen;
  card->copyTo(chosen);
  chosen.setNewKeyA(ACLnewKeyA->text());
  chosen.setNewKeyB(ACLnewKeyB->text());
  SetKey(_newKeyA, kKeyA, chosen.GetKeyA());
  SetKey(_newKeyB, kKeyB, chosen.GetKeyB());
  // A trailer that would take part of the sector out of use for good (malformed access bytes, a
  // data block no key may read, access bits no key may change) is never sent; the same judgement
  // as norvex's restore.
  const norvex::dump::TrailerVerdict verdict =
      norvex::dump::judgeTrailer(static_cast<std::size_t>(sector), NewTrailer());
  if (verdict.kind != norvex::dump::TrailerVerdict::Kind::Safe) {
    host.Alert(
        QStringLiteral("Error"),
        CardText(sector, *card,
                 "Access bits %3 %4 %5 for sector %2 on Card ID: %1 would lock the sector "
                 "for good: %6. Nothing was written.\nChoose other conditions for the data "
                 "blocks and the trailer, or read the sector again.")
            .arg(Hex(newB6), Hex(newB7), Hex(newB8), QString::fromStdString(verdict.reason)));
    return;
  }
  const std::array<uint8_t, 4> acl{newB6, newB7, newB8, newB9};
  card->setNewKeyA(ACLnewKeyA->text());
  card->setNewKeyB(ACLnewKeyB->text());
  if (!host.ReselectCard(*card)) return;
  if (host.MifareObj().WriteACL(*card, sector, _writeKey, acl, _newKeyA, _newKeyB) != 0) {
    host.Alert(QStringLiteral("Error"),
               CardText(sector, *card, "Error WriteACL for sector %2 on Card ID: %1"));
    return;
  }
  // The trailer now holds the new keys: a further write authenticates with the new one.
  _writeKey = _writeKey.KeyType == kKeyA ? _newKeyA : _newKeyB;
  host.Alert(QStringLiteral("Information"),
             CardText(sector, *card, "Data changed successful for sector %2 on Card ID: %1"));
  host.ResetCardTree();
}

norvex::dump::Block AccessBitsDialog::NewTrailer() const {
  norvex::dump::Block trailer{};
  std::copy_n(_newKeyA.KeyValue, 6, trailer.begin());
  trailer[6] = newB6;
  trailer[7] = newB7;
  trailer[8] = newB8;
  trailer[9] = newB9;
  std::copy_n(_newKeyB.KeyValue, 6, trailer.begin() + 10);
  return trailer;
}

void AccessBitsDialog::btnCloseAccessBits() {
  done(QDialog::Accepted);
}

void AccessBitsDialog::ShowConditions(const AccessBytes& bytes, const ConditionFields& fields) {
  const std::array<uint8_t, 3> values{bytes.b6, bytes.b7, bytes.b8};
  for (std::size_t i = 0; i < values.size(); ++i) {
    fields.byte[i]->setText(Hex(values[i]));
    fields.byteBits[i]->setText(access_bits::DecToBin(values[i]));
  }
  // The same rule as the command-line tool's: where the trailer lets key B be read, the card
  // accepts key B but refuses it for data access.
  const bool keyBIsData =
      norvex::dump::accessBitsConsistent(values.data()) && !norvex::dump::keyBUsable(values.data());
  fields.keyBNote->setText(keyBIsData ? tr("Key B can be read with these access bits: the card "
                                           "refuses it for data access.")
                                      : QString());
  const auto show = [](const AreaBits& bits, const std::array<QCheckBox*, 3>& boxes) {
    boxes[0]->setChecked(bits.c1 != 0);
    boxes[1]->setChecked(bits.c2 != 0);
    boxes[2]->setChecked(bits.c3 != 0);
  };
  show(access_bits::DataAreaBits(bytes.b7, bytes.b8), fields.dataAreaC);
  show(access_bits::TrailerAreaBits(bytes.b7, bytes.b8), fields.trailerAreaC);
}

QString AccessBitsDialog::CardText(int sector, const QVMifareCard& card, const char* format) const {
  // %1 is the card's UID text, %2 the sector as at least two digits.
  return QString::fromLatin1(format).arg(card.Uid(), QString::asprintf("%.2d", sector));
}
