// SPDX-License-Identifier: MIT
#pragma once
// The NDEF message of a tag, whatever its mapping (type 2: Ultralight and NTAG; type 4: ISO
// 14443-4 cards and DESFire; Mifare Classic): Read shows the mapping, the capacity and the
// message's length, each record decoded, and the message's bytes in hex beside them. The
// library's tag functions take whichever card answers after a field reset, so the tag must be
// alone in the field: with other type A cards there the view says so and reads nothing.

#include <QByteArray>

#include "CardView.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct NdefRecordRow;

class NdefView : public CardView {
  Q_OBJECT

 public:
  explicit NdefView(CardViewHost& viewHost, QWidget* parent = nullptr);

  bool Accepts(const QVMifareCard& card) const override;
  void ShowCard(const std::shared_ptr<QVMifareCard>& card) override;
  void SetBusy(bool busy) override;

 private:
  // What a read found: the line for `info` and the message (empty when there is none).
  struct Reading {
    QString info;
    QByteArray message;
  };

  // Reads on the worker thread, as a one-step job, and shows the result when it ended.
  void Read();
  // On the worker, inside the job: the tag information and message, or the reason.
  static Reading ReadTag(void* session);
  void ShowMessage(const QByteArray& message);
  static void AddRow(QTreeWidgetItem* item, const NdefRecordRow& row);

  std::shared_ptr<QVMifareCard> shown;
  QLabel* title = nullptr;
  QLabel* info = nullptr;
  QPushButton* readButton = nullptr;
  QTreeWidget* records = nullptr;
  QPlainTextEdit* bytes = nullptr;
};
