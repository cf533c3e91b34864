// SPDX-License-Identifier: MIT
#pragma once
// The view of an ISO 14443-4 card, type A or type B (and the second view of a DESFire, so that
// APDUs can go to it): what the card announced when activated, decoded field by field (the ATS of
// a type A card, read by Activate; the ATQB of a type B card, kept from the scan), and an APDU
// console. The scan resets the field between card calls, so each Send activates the card afresh
// and sends the APDUs of its input line in that one session.

#include <QByteArray>
#include <QHash>
#include <QList>

#include "CardView.h"

class ApduConsole;
class QLabel;
class QPushButton;
class QTreeWidget;
struct TclChannel;

class Iso14443View : public CardView {
  Q_OBJECT

 public:
  explicit Iso14443View(CardViewHost& viewHost, QWidget* parent = nullptr);

  bool Accepts(const QVMifareCard& card) const override;
  void ShowCard(const std::shared_ptr<QVMifareCard>& card) override;
  void SetBusy(bool busy) override;

 private:
  void Activate();
  void Send(const QList<QByteArray>& apdus);
  // Activates the shown card inside a card call; false (the reason shown) when it failed.
  bool ActivateShown(TclChannel& channel);
  void ShowFields();

  std::shared_ptr<QVMifareCard> shown;
  QHash<QString, QByteArray> atsOfUid;  // the ATS each type A card gave when last activated
  QLabel* title = nullptr;
  QPushButton* activateButton = nullptr;
  QTreeWidget* fields = nullptr;
  ApduConsole* console = nullptr;
};
