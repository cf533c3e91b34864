// SPDX-License-Identifier: MIT
#include "Iso14443View.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ActivationFields.h"
#include "ApduConsole.h"
#include "CardIsolation.h"
#include "QVMifareCard.h"
#include "StatusText.h"
#include "TclActivation.h"
#include "norvexapi.h"

Iso14443View::Iso14443View(CardViewHost& viewHost, QWidget* parent) : CardView(viewHost, parent) {
  setObjectName(QStringLiteral("iso14443View"));
  setWindowTitle(tr("ISO 14443-4"));
  title = new QLabel(this);
  activateButton = new QPushButton(tr("Activate"), this);
  activateButton->setObjectName(QStringLiteral("isoActivate"));
  activateButton->setToolTip(tr("Activates the card (RATS) and shows its ATS"));
  fields = new QTreeWidget(this);
  fields->setObjectName(QStringLiteral("activationFields"));
  fields->setHeaderLabels({tr("Field"), tr("Value")});
  fields->setRootIsDecorated(false);
  fields->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  console = new ApduConsole(this);

  auto* top = new QHBoxLayout;
  top->addWidget(title, 1);
  top->addWidget(activateButton);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(fields);
  split->addWidget(console);
  split->setStretchFactor(1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);

  connect(activateButton, &QPushButton::clicked, this, &Iso14443View::Activate);
  connect(console, &ApduConsole::sendRequested, this, &Iso14443View::Send);
}

bool Iso14443View::Accepts(const QVMifareCard& card) const {
  return card.IsTypeB() || card.Kind() == QLatin1String("iso14443-4") ||
         card.Kind() == QLatin1String("desfire");
}

void Iso14443View::ShowCard(const std::shared_ptr<QVMifareCard>& card) {
  shown = card;
  title->setText(card ? tr("%1, UID %2").arg(card->CardType(), card->Uid()) : QString());
  activateButton->setVisible(card && !card->IsTypeB());
  ShowFields();
}

void Iso14443View::SetBusy(bool busy) {
  activateButton->setEnabled(!busy);
  console->SetBusy(busy);
}

void Iso14443View::ShowFields() {
  fields->clear();
  if (!shown) return;
  QList<ActivationField> rows;
  if (shown->IsTypeB())
    rows = DecodeAtqb(shown->Atqb());
  else if (const auto found = atsOfUid.constFind(shown->Uid()); found != atsOfUid.cend())
    rows = DecodeAts(*found);
  else
    rows = {{tr("ATS"), tr("not read yet: Activate or Send reads it")}};
  for (const ActivationField& row : rows) {
    auto* item = new QTreeWidgetItem(fields, {row.name, row.value});
    item->setToolTip(1, row.value);
  }
}

bool Iso14443View::ActivateShown(TclChannel& channel) {
  void* session = host.Session();
  long status = 0;
  if (shown->IsTypeB()) {
    status = ActivateTypeB(session, shown->Atqb(), channel);
  } else {
    QByteArray ats;
    status = ActivateTypeA(session, shown->UidBytes(), ats, channel);
    if (status == 0) atsOfUid.insert(shown->Uid(), ats);
  }
  ShowFields();
  if (status != 0)
    console->ShowNote(tr("Activating the card failed: %1").arg(StatusText(status)));
  else
    console->ShowNote(
        tr("Card %1 activated, frames of up to %2 bytes").arg(shown->Uid()).arg(channel.frameSize));
  return status == 0;
}

void Iso14443View::Activate() {
  if (!shown) return;
  const auto card = shown;
  if (!host.RunCardCall(*card, tr("Activating the card"), [this] {
        TclChannel channel;
        ActivateShown(channel);
        ReleaseField(host.Session());
      }))
    console->ShowNote(tr("Card %1 is not in the field.").arg(card->Uid()));
}

void Iso14443View::Send(const QList<QByteArray>& apdus) {
  if (!shown) return;
  const auto card = shown;
  const bool reached = host.RunCardCall(*card, tr("Sending APDUs"), [&] {
    TclChannel channel;
    if (ActivateShown(channel)) {
      for (const QByteArray& apdu : apdus) {
        QByteArray answer;
        if (const long status = ExchangeApdu(host.Session(), channel, apdu, answer)) {
          // A failed exchange ends the card's session: the APDUs after it are not sent.
          console->ShowFailure(apdu, StatusText(status));
          break;
        }
        console->ShowAnswer(apdu, answer);
      }
    }
    ReleaseField(host.Session());
  });
  if (!reached) console->ShowNote(tr("Card %1 is not in the field.").arg(card->Uid()));
}
