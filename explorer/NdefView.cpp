// SPDX-License-Identifier: MIT
#include "NdefView.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ByteLines.h"
#include "CardIsolation.h"
#include "NdefRecords.h"
#include "QVMifareCard.h"
#include "StatusText.h"
#include "TclActivation.h"
#include "norvexapi.h"

namespace {

QString MappingName(uint32_t mapping) {
  switch (mapping) {
    case NDEF_MAPPING_TYPE2:
      return QObject::tr("NFC Forum type 2");
    case NDEF_MAPPING_TYPE4:
      return QObject::tr("NFC Forum type 4");
    case NDEF_MAPPING_CLASSIC:
      return QObject::tr("Mifare Classic (MAD)");
    default:
      return QObject::tr("none");
  }
}

}  // namespace

NdefView::NdefView(CardViewHost& viewHost, QWidget* parent) : CardView(viewHost, parent) {
  setObjectName(QStringLiteral("ndefView"));
  setWindowTitle(tr("NDEF"));
  title = new QLabel(this);
  readButton = new QPushButton(tr("Read NDEF"), this);
  readButton->setObjectName(QStringLiteral("ndefRead"));
  info = new QLabel(this);
  info->setObjectName(QStringLiteral("ndefInfo"));
  info->setWordWrap(true);
  records = new QTreeWidget(this);
  records->setObjectName(QStringLiteral("ndefRecords"));
  records->setHeaderLabels({tr("Record"), tr("TNF"), tr("Type"), tr("Content")});
  records->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  bytes = new QPlainTextEdit(this);
  bytes->setObjectName(QStringLiteral("ndefBytes"));
  bytes->setReadOnly(true);
  bytes->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  auto* top = new QHBoxLayout;
  top->addWidget(title, 1);
  top->addWidget(readButton);
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(records);
  split->addWidget(bytes);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(info);
  layout->addWidget(split, 1);
  connect(readButton, &QPushButton::clicked, this, &NdefView::Read);
}

bool NdefView::Accepts(const QVMifareCard& card) const {
  const QString kind = card.Kind();
  return card.IsClassic() || kind.startsWith(QLatin1String("ultralight")) ||
         kind.startsWith(QLatin1String("ntag")) || kind == QLatin1String("desfire") ||
         kind == QLatin1String("iso14443-4");
}

void NdefView::ShowCard(const std::shared_ptr<QVMifareCard>& card) {
  // The tree is rebuilt when cards come and go, which shows the same card again: what was read
  // from it stays.
  if (card && (!shown || card->Uid() != shown->Uid())) {
    records->clear();
    bytes->clear();
    info->setText(card ? tr("Read NDEF reads the tag's message.") : QString());
  }
  if (card) shown = card;
  title->setText(card ? tr("NDEF of %1, UID %2").arg(card->CardType(), card->Uid()) : QString());
}

void NdefView::SetBusy(bool busy) {
  readButton->setEnabled(!busy);
}

void NdefView::Read() {
  if (!shown) return;
  records->clear();
  bytes->clear();
  auto reading = std::make_shared<Reading>();
  reading->info = tr("Card %1 is not in the field.").arg(shown->Uid());
  auto step = [this, reading](int) {
    *reading = ReadTag(host.Session());
    ReleaseField(host.Session());
    return true;
  };
  auto done = [this, reading](int, bool) {
    info->setText(reading->info);
    ShowMessage(reading->message);
  };
  if (!host.RunCardJob(*shown, tr("Reading the NDEF message"), 1, step, done))
    info->setText(reading->info);
}

NdefView::Reading NdefView::ReadTag(void* session) {
  if (const int cards = CountTypeACards(session); cards > 1) {
    return {tr("%1 cards in the field: the tag functions take whichever card answers, so take "
               "the others away to read this tag's message.")
                .arg(cards),
            {}};
  }
  uint32_t mapping = NDEF_MAPPING_NONE, capacity = 0, length = 0;
  if (const long status = NDEF_GetTagInfo(session, &mapping, &capacity, &length))
    return {tr("No NDEF message: %1").arg(StatusText(status)), {}};
  QByteArray message(static_cast<qsizetype>(length), '\0');
  long status = NDEF_ReadTag(session, reinterpret_cast<uint8_t*>(message.data()), &length);
  if (status == NORVEX_E_WRONG_BUFFER_SIZE) {  // the message changed since the tag information
    message.resize(length);
    status = NDEF_ReadTag(session, reinterpret_cast<uint8_t*>(message.data()), &length);
  }
  if (status != 0) return {tr("Reading the message failed: %1").arg(StatusText(status)), {}};
  message.resize(length);
  return {tr("Mapping %1, capacity %2 bytes, message %3 bytes")
              .arg(MappingName(mapping))
              .arg(capacity)
              .arg(length),
          message};
}

void NdefView::ShowMessage(const QByteArray& message) {
  bytes->setPlainText(ByteLines(message));
  if (message.isEmpty()) return;
  QList<NdefRecordRow> rows;
  if (const long status = DecodeNdefMessage(message, rows)) {
    info->setText(info->text() + tr("; the message is malformed: %1").arg(StatusText(status)));
    return;
  }
  for (int index = 0; index < rows.size(); ++index) {
    auto* item = new QTreeWidgetItem(records);
    item->setText(0, QString::number(index + 1));
    AddRow(item, rows.at(index));
  }
  records->expandAll();
}

void NdefView::AddRow(QTreeWidgetItem* item, const NdefRecordRow& row) {
  item->setText(1, row.tnf);
  item->setText(2, row.type);
  item->setText(3, row.content);
  if (!row.id.isEmpty()) item->setToolTip(0, QObject::tr("ID %1").arg(HexBytes(row.id)));
  for (int index = 0; index < row.parts.size(); ++index) {
    auto* part = new QTreeWidgetItem(item);
    part->setText(0, QStringLiteral("%1.%2").arg(item->text(0)).arg(index + 1));
    AddRow(part, row.parts.at(index));
  }
}
