// SPDX-License-Identifier: MIT
#include "QVAsciiView.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextCursor>
#include <algorithm>

#include "EditorNavigation.h"
#include "QVHexTextView.h"
#include "TextPatch.h"

using editor::TextRange;

namespace {

constexpr int kLastByte = editor::kImageBytes - 1;  // 3455
constexpr int kPageBytes = 1056;
constexpr int kDisplayLine = editor::kBytesPerLine + 1;  // 16 characters and a line break

// Moving down stops just past the last byte.
constexpr editor::NavigationSteps kSteps{editor::kBytesPerLine, kPageBytes, editor::kImageBytes};

}  // namespace

QVAsciiView::QVAsciiView(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  setTabChangesFocus(true);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  awakeFromNib();
}

void QVAsciiView::awakeFromNib() {
  fntDati = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fntDati.setPointSize(12);
  setFont(fntDati);
  setContextMenuPolicy(Qt::NoContextMenu);
  ShowBuffer({0, 0});
}

bool QVAsciiView::Known(int byte) const {
  return !aHexView || aHexView->isKnown(byte);
}

void QVAsciiView::setHexView(QVHexTextView* view) {
  aHexView = view;
}

void QVAsciiView::setTextToBuffer() {
  if (!aHexView) return;
  const QByteArray image = aHexView->getBufferData();
  std::copy(image.cbegin(), image.cend(), buffer.begin());
}

void QVAsciiView::updateData(TextRange range) {
  ShowBuffer(range);
  updateHexView(range);
}

void QVAsciiView::updateHexView(TextRange range) {
  if (!aHexView) return;
  aHexView->updateDataFromAscii(
      {range.location * editor::kHexCharsPerByte, range.length * editor::kHexCharsPerByte}, buffer);
}

void QVAsciiView::setBytesFromHex(const editor::ByteImage& bytes, TextRange range) {
  buffer = bytes;
  ShowBuffer(range);
}

TextRange QVAsciiView::selectedRange() const {
  const QTextCursor cursor = textCursor();
  const int start = byteIndex(cursor.selectionStart());
  return {start, byteIndex(cursor.selectionEnd()) - start};
}

int QVAsciiView::displayPosition(int index) {
  const int clamped = std::clamp(index, 0, editor::kImageBytes);
  return clamped + std::min(clamped / editor::kBytesPerLine, editor::kLines - 1);
}

int QVAsciiView::byteIndex(int position) {
  const int line = position / kDisplayLine;
  const int column = std::min(position % kDisplayLine, editor::kBytesPerLine);
  return std::min(line * editor::kBytesPerLine + column, editor::kImageBytes);
}

void QVAsciiView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  const TextRange selection = selectedRange();
  const int p = selection.location;
  const int n = selection.length;
  if (const auto target = editor::VerticalMove(event->key(), p, kSteps)) {
    updateData({*target, n});
    return;
  }
  switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      Backspace(selection);
      return;
    case Qt::Key_Left:
    case Qt::Key_Right:
      MoveHorizontally(event->key() == Qt::Key_Right, selection);
      return;
    default:
      break;
  }
  if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) {
    event->ignore();
    return;
  }
  const QString text = event->text();
  if (!text.isEmpty()) TypeCharacter(text[0], selection);
}

void QVAsciiView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) QPlainTextEdit::mousePressEvent(event);
}

void QVAsciiView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QPlainTextEdit::mouseReleaseEvent(event);
  setTextToBuffer();
  const TextRange selection = selectedRange();
  updateData({std::min(selection.location, editor::kImageBytes), selection.length});
}

void QVAsciiView::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
}

bool QVAsciiView::canInsertFromMimeData(const QMimeData*) const {
  return false;
}

void QVAsciiView::insertFromMimeData(const QMimeData*) {}

void QVAsciiView::ShowBuffer(TextRange range) {
  QString text;
  text.reserve(editor::kImageBytes + editor::kLines);
  for (int i = 0; i < editor::kImageBytes; ++i) {
    if (i > 0 && i % editor::kBytesPerLine == 0) text += QLatin1Char('\n');
    // A byte without card data shows as a blank, never as a character.
    text +=
        Known(i) ? editor::DisplayedChar(buffer[static_cast<std::size_t>(i)]) : QLatin1Char(' ');
  }
  editor::PatchText(*this, shownText, text);
  const int start = std::clamp(range.location, 0, editor::kImageBytes);
  const int end = std::clamp(range.location + range.length, start, editor::kImageBytes);
  QTextCursor cursor(document());
  cursor.setPosition(displayPosition(start));
  cursor.setPosition(displayPosition(end), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void QVAsciiView::Backspace(TextRange selection) {
  const int p = selection.location;
  if (p > editor::kImageBytes) return;
  if (p == 0) {
    updateData({0, selection.length});
    return;
  }
  // Deleting a character blanks its byte to 00.
  if (Known(p - 1)) buffer[static_cast<std::size_t>(p - 1)] = 0x00;
  updateData({p - 1, selection.length});
}

void QVAsciiView::TypeCharacter(QChar character, TextRange selection) {
  const int p = selection.location;
  if (p > kLastByte) {
    updateData(selection);
    return;
  }
  if (Known(p))
    buffer[static_cast<std::size_t>(p)] = static_cast<uint8_t>(character.unicode() & 0xFF);
  updateData({p + 1 > kLastByte ? p : p + 1, selection.length});
}

void QVAsciiView::MoveHorizontally(bool right, TextRange selection) {
  const int p = selection.location;
  int x = 0;
  if (right) {
    if (p > kLastByte) return;
    x = selection.length > 0 ? p + selection.length : p + 1;
  } else {
    x = selection.length > 0 ? p : std::max(p - 1, 0);
  }
  QTextCursor cursor(document());
  cursor.setPosition(displayPosition(x));
  setTextCursor(cursor);
  ensureCursorVisible();
}
