// SPDX-License-Identifier: MIT
#include "Alert.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// A message box grows with its text: beyond this many lines (a result per sector of a 4K card,
// say) it would be taller than a small screen, its buttons out of reach.
constexpr int kMessageBoxLines = 12;
// The tall message's size on a screen that has room for it.
constexpr QSize kTallMessageSize(640, 520);

bool IsTall(const QString& text) {
  return text.count(QLatin1Char('\n')) >= kMessageBoxLines;
}

// A tall message: its first paragraph as a label, the rest in a scrolling read-only view, the
// whole sized to fit the screen the parent is on. Returns the dialog's result.
int RunTallMessage(const QString& title, const QString& text,
                   QDialogButtonBox::StandardButtons buttons,
                   QDialogButtonBox::StandardButton defaultButton, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("tallMessage"));
  dialog.setWindowTitle(title);
  qsizetype split = text.indexOf(QStringLiteral("\n\n"));
  if (split < 0) split = text.indexOf(QLatin1Char('\n'));
  auto* head = new QLabel(text.left(split), &dialog);
  head->setTextFormat(Qt::PlainText);
  head->setWordWrap(true);
  auto* details = new QPlainTextEdit(text.mid(split).trimmed(), &dialog);
  details->setObjectName(QStringLiteral("messageDetails"));
  details->setReadOnly(true);
  auto* box = new QDialogButtonBox(buttons, &dialog);
  box->button(defaultButton)->setDefault(true);
  QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(head);
  layout->addWidget(details, 1);
  layout->addWidget(box);
  const QScreen* screen = parent != nullptr ? parent->screen() : QApplication::primaryScreen();
  const QSize room =
      screen != nullptr ? screen->availableGeometry().size() * 9 / 10 : kTallMessageSize;
  dialog.setMaximumSize(room);
  dialog.resize(kTallMessageSize.boundedTo(room));
  return dialog.exec();
}

}  // namespace

void RunModalAlert(const QString& title, const QString& text, QWidget* parent) {
  if (IsTall(text)) {
    RunTallMessage(title, text, QDialogButtonBox::Ok, QDialogButtonBox::Ok, parent);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  // Card and library texts are shown as they are, never interpreted as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool RunModalConfirm(const QString& title, const QString& text, QWidget* parent) {
  if (IsTall(text))
    return RunTallMessage(title, text, QDialogButtonBox::Yes | QDialogButtonBox::No,
                          QDialogButtonBox::No, parent) == QDialog::Accepted;
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}
