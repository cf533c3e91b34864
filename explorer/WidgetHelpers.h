// SPDX-License-Identifier: MIT
#pragma once
// Small builders shared by the explorer's layouts: object names (the GUI tests find widgets by
// them), the Key A / Key B choice, key fields and the width of a fixed-font text view.

#include <QButtonGroup>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTextDocument>

namespace widgets {

constexpr int kMargin = 12;
constexpr int kSpacing = 8;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// A pair of radio buttons "Key A" (id 0, named <prefix>A) and "Key B" (id 1, <prefix>B), key A
// chosen.
inline QButtonGroup* KeyChoice(QWidget* parent, QHBoxLayout* row, const char* name,
                               const QString& prefix) {
  auto* group = Named(new QButtonGroup(parent), name);
  auto* keyA = new QRadioButton(QObject::tr("Key A"), parent);
  auto* keyB = new QRadioButton(QObject::tr("Key B"), parent);
  keyA->setObjectName(prefix + QLatin1Char('A'));
  keyB->setObjectName(prefix + QLatin1Char('B'));
  group->addButton(keyA, 0);
  group->addButton(keyB, 1);
  keyA->setChecked(true);
  row->addWidget(keyA);
  row->addWidget(keyB);
  return group;
}

// A six-byte key in hex: read-only, or editable with at most 12 hex digits.
inline QLineEdit* KeyField(QWidget* parent, const char* name, bool editable) {
  auto* field = Named(new QLineEdit(parent), name);
  field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  field->setReadOnly(!editable);
  if (editable) {
    field->setMaxLength(12);
    field->setPlaceholderText(QObject::tr("12 hex digits"));
    field->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,12}")), field));
  }
  return field;
}

// Width of a text view showing `characters` columns of its font, with room for a scroll bar.
inline int TextViewWidth(const QPlainTextEdit* view, int characters) {
  const int text = view->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0')));
  return text + view->verticalScrollBar()->sizeHint().width() + 2 * view->frameWidth() +
         2 * static_cast<int>(view->document()->documentMargin()) + 4;
}

}  // namespace widgets
