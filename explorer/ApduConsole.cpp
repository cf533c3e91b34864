// SPDX-License-Identifier: MIT
#include "ApduConsole.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "ByteLines.h"
#include "dump/Hex.h"
#include "dump/StatusWords.h"

namespace {

constexpr int kStatusWordLength = 2;

}  // namespace

ApduConsole::ApduConsole(QWidget* parent) : QWidget(parent) {
  input = new QLineEdit(this);
  input->setObjectName(QStringLiteral("apduInput"));
  input->setPlaceholderText(
      tr("APDU in hex, e.g. 00 A4 04 00 07 D2 76 00 00 85 01 01 00; "
         "several separated by ';'"));
  input->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  input->installEventFilter(this);
  sendButton = new QPushButton(tr("Send"), this);
  sendButton->setObjectName(QStringLiteral("apduSend"));
  history = new QListWidget(this);
  history->setObjectName(QStringLiteral("apduHistory"));
  history->setFont(input->font());
  exchanges = new QPlainTextEdit(this);
  exchanges->setObjectName(QStringLiteral("apduAnswer"));
  exchanges->setReadOnly(true);
  exchanges->setLineWrapMode(QPlainTextEdit::NoWrap);
  exchanges->setFont(input->font());

  auto* line = new QHBoxLayout;
  line->addWidget(input, 1);
  line->addWidget(sendButton);
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(exchanges);
  split->addWidget(history);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(line);
  layout->addWidget(split, 1);

  connect(sendButton, &QPushButton::clicked, this, &ApduConsole::Send);
  connect(input, &QLineEdit::returnPressed, this, &ApduConsole::Send);
  connect(history, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    input->setText(item->text());
    recalled = history->row(item);
    input->setFocus();
  });
}

std::optional<QList<QByteArray>> ApduConsole::ParseInput(const QString& text, QString* error) {
  QList<QByteArray> apdus;
  const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (const QString& part : parts) {
    const auto bytes = norvex::hex::decode(part.trimmed().toStdString(), " \t");
    if (!bytes || bytes->size() < kMinApdu || bytes->size() > kMaxApdu) {
      if (error != nullptr)
        *error = tr("\"%1\" is not an APDU: %2 to %3 bytes in hex, spaces allowed")
                     .arg(part.trimmed())
                     .arg(kMinApdu)
                     .arg(kMaxApdu);
      return std::nullopt;
    }
    apdus.append(QByteArray(reinterpret_cast<const char*>(bytes->data()),
                            static_cast<qsizetype>(bytes->size())));
  }
  if (apdus.isEmpty()) {
    if (error != nullptr) *error = tr("Type an APDU in hex first.");
    return std::nullopt;
  }
  return apdus;
}

void ApduConsole::Send() {
  QString error;
  const auto apdus = ParseInput(input->text(), &error);
  if (!apdus) {
    ShowNote(error);
    return;
  }
  const QString line = input->text().trimmed();
  if (history->count() == 0 || history->item(history->count() - 1)->text() != line)
    history->addItem(line);
  recalled = -1;
  input->clear();
  emit sendRequested(*apdus);
}

void ApduConsole::ShowAnswer(const QByteArray& apdu, const QByteArray& answer) {
  QString text = QStringLiteral("> ") + HexBytes(apdu) + QLatin1Char('\n');
  if (answer.size() < kStatusWordLength) {
    text += QStringLiteral("< %1 (no status word)").arg(HexBytes(answer));
    ShowNote(text);
    return;
  }
  const QByteArray payload = answer.left(answer.size() - kStatusWordLength);
  const auto sw1 = static_cast<uint8_t>(answer.at(answer.size() - 2));
  const auto sw2 = static_cast<uint8_t>(answer.at(answer.size() - 1));
  if (!payload.isEmpty())
    text += QStringLiteral("< %1 data bytes\n").arg(payload.size()) +
            ByteLines(payload, QStringLiteral("  ")) + QLatin1Char('\n');
  const QString meaning = QString::fromStdString(norvex::dump::statusWordText(sw1, sw2));
  text += QStringLiteral("< SW %1").arg(HexBytes(answer.right(kStatusWordLength)).remove(' '));
  text += meaning.isEmpty() ? tr(" (no common meaning)") : QStringLiteral(": ") + meaning;
  ShowNote(text);
}

void ApduConsole::ShowFailure(const QByteArray& apdu, const QString& why) {
  ShowNote(QStringLiteral("> ") + HexBytes(apdu) + QStringLiteral("\n< ") + why);
}

void ApduConsole::ShowNote(const QString& text) {
  exchanges->appendPlainText(text);
}

void ApduConsole::SetBusy(bool busy) {
  input->setEnabled(!busy);
  sendButton->setEnabled(!busy);
  history->setEnabled(!busy);
}

bool ApduConsole::eventFilter(QObject* watched, QEvent* event) {
  if (watched == input && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Recall(key == Qt::Key_Up ? -1 : 1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// Up goes back from the newest entry, Down forward again and past the newest to an empty line.
void ApduConsole::Recall(int step) {
  const int count = history->count();
  if (count == 0) return;
  int next = recalled < 0 ? (step < 0 ? count - 1 : -1) : recalled + step;
  if (next < 0 && recalled >= 0 && step < 0) next = 0;
  if (next >= count) next = -1;
  recalled = next;
  input->setText(recalled < 0 ? QString() : history->item(recalled)->text());
  if (recalled >= 0) history->setCurrentRow(recalled);
}
