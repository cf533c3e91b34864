// SPDX-License-Identifier: MIT
#include "Alert.h"

#include <QMessageBox>

void RunModalAlert(const QString& title, const QString& text, QWidget* parent) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  // Card and library texts are shown as they are, never interpreted as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool RunModalConfirm(const QString& title, const QString& text, QWidget* parent) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}
