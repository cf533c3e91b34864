#include "Alert.h"

#include <QMessageBox>

void RunModalAlert(const QString& title, const QString& text, QWidget* parent) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  // Card and library texts are shown as they are, never interpreted as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}
