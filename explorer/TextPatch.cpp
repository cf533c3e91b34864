// SPDX-License-Identifier: MIT
#include "TextPatch.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace editor {

void PatchText(QPlainTextEdit& view, QString& shown, const QString& text) {
  if (shown.size() != text.size() || view.document()->characterCount() != text.size() + 1) {
    view.setPlainText(text);
    shown = text;
    return;
  }
  qsizetype first = 0;
  while (first < text.size() && shown[first] == text[first]) ++first;
  if (first == text.size()) return;
  qsizetype last = text.size() - 1;
  while (last > first && shown[last] == text[last]) --last;
  // A change over much of the text is cheaper as a new document.
  if (last - first > text.size() / 2) {
    view.setPlainText(text);
  } else {
    QTextCursor cursor(view.document());
    cursor.setPosition(static_cast<int>(first));
    cursor.setPosition(static_cast<int>(last + 1), QTextCursor::KeepAnchor);
    cursor.insertText(text.mid(first, last - first + 1));
  }
  shown = text;
}

}  // namespace editor
