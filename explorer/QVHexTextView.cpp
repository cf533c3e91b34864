// SPDX-License-Identifier: MIT
#include "QVHexTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QUndoStack>
#include <algorithm>

#include "EditorNavigation.h"
#include "HexEditCommand.h"
#include "HexGutter.h"
#include "QVAsciiView.h"
#include "TextPatch.h"
#include "dump/Hex.h"

using editor::TextRange;

namespace {

constexpr int kLastDigit = editor::kHexChars - 2;  // second digit of the last byte: 10366
constexpr int kPageChars = 22 * editor::kHexLineChars;

// Moving down stops on the last byte's second digit.
constexpr editor::NavigationSteps kSteps{editor::kHexLineChars, kPageChars, kLastDigit};

uint8_t PairValue(char high, char low) {
  return norvex::hex::lenientByte(static_cast<unsigned char>(high),
                                  static_cast<unsigned char>(low));
}

}  // namespace

QVHexTextView::QVHexTextView(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  setTabChangesFocus(true);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  gutter = new HexGutter(this);
  edits = new QUndoStack(this);
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0) {
      gutter->scroll(0, dy);
    } else {
      gutter->update(0, rect.y(), gutter->width(), rect.height());
    }
  });
  awakeFromNib();
}

void QVHexTextView::ResetEdits() {
  lastBuffer = buffer;
  edits->clear();
}

void QVHexTextView::EditDone() {
  int first = 0;
  while (first < editor::kHexChars && lastBuffer[first] == buffer[first]) ++first;
  if (first < editor::kHexChars) {
    int last = editor::kHexChars - 1;
    while (last > first && lastBuffer[last] == buffer[last]) --last;
    const int size = last - first + 1;
    edits->push(new HexEditCommand(*this, first, QByteArray(lastBuffer.data() + first, size),
                                   QByteArray(buffer.data() + first, size)));
    lastBuffer = buffer;
  }
  emit bytesEdited();
}

void QVHexTextView::restoreText(int position, const QByteArray& chars) {
  if (position < 0 || position + chars.size() > editor::kHexChars) return;
  std::copy(chars.begin(), chars.end(), buffer.begin() + position);
  lastBuffer = buffer;
  updateData({position, 0});
  emit bytesEdited();
}

bool QVHexTextView::pasteHex(const QString& text) {
  QString digits = text;
  digits.remove(QRegularExpression(QStringLiteral("0[xX]")));
  digits.remove(QRegularExpression(QStringLiteral("[\\s,:;-]")));
  const std::optional<std::vector<uint8_t>> bytes = norvex::hex::decode(digits.toStdString());
  if (!bytes || bytes->empty()) {
    emit pasteRefused(tr("Nothing pasted: the clipboard does not hold hex bytes."));
    return false;
  }
  int byte = selectedRange().location / editor::kHexCharsPerByte;
  int pasted = 0;
  for (const uint8_t value : *bytes) {
    if (byte >= editor::kImageBytes) break;
    if (Editable(byte)) {
      WriteByte(byte, value);
      ++pasted;
    }
    ++byte;
  }
  const int total = static_cast<int>(bytes->size());
  if (pasted < total)
    emit pasteRefused(tr("%1 of %2 bytes pasted: the others fall on bytes without card data, on "
                         "block 0 or past the end.")
                          .arg(pasted)
                          .arg(total));
  updateData({std::min(byte, editor::kImageBytes - 1) * editor::kHexCharsPerByte, 0});
  EditDone();
  return true;
}

void QVHexTextView::setLineLabels(std::function<QString(int line)> labeller) {
  lineLabels = std::move(labeller);
  UpdateGutterGeometry();
  gutter->update();
}

void QVHexTextView::setLockedBytes(const editor::KnownBytes& bytes) {
  locked = bytes;
}

bool QVHexTextView::Editable(int byte) const {
  return byte >= 0 && byte < editor::kImageBytes && known[byte] && !locked[byte];
}

void QVHexTextView::setReference(const QByteArray& bytes, const editor::KnownBytes& pending) {
  reference = bytes;
  pendingBytes = pending;
  UpdateMarks();
}

int QVHexTextView::gutterWidth() const {
  if (!lineLabels) return 0;
  return fontMetrics().horizontalAdvance(QStringLiteral("S00 B000* V")) + 8;
}

void QVHexTextView::UpdateGutterGeometry() {
  setViewportMargins(gutterWidth(), 0, 0, 0);
  const QRect area = contentsRect();
  gutter->setGeometry(area.left(), area.top(), gutterWidth(), area.height());
  gutter->setVisible(lineLabels != nullptr);
}

void QVHexTextView::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  UpdateGutterGeometry();
}

QString QVHexTextView::lineLabel(int line) const {
  if (!lineLabels) return {};
  QString label = lineLabels(line);
  if (!label.isEmpty() && isValueLine(line)) label += QStringLiteral(" V");
  return label;
}

void QVHexTextView::paintGutter(QPaintEvent* event) {
  if (!lineLabels) return;
  QPainter painter(gutter);
  painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
  painter.setFont(font());
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  while (block.isValid() && top <= event->rect().bottom()) {
    const int height = qRound(blockBoundingRect(block).height());
    const int line = block.blockNumber();
    const QString label = lineLabel(line);
    painter.setPen(palette().color(isValueLine(line) ? QPalette::Link : QPalette::PlaceholderText));
    painter.drawText(4, top, gutter->width() - 4, height, Qt::AlignLeft | Qt::AlignVCenter, label);
    block = block.next();
    top += height;
  }
}

bool QVHexTextView::isValueLine(int line) const {
  const int first = line * editor::kBytesPerLine;
  if (first < 0 || first + editor::kBytesPerLine > editor::kImageBytes) return false;
  uint8_t b[editor::kBytesPerLine];
  for (int i = 0; i < editor::kBytesPerLine; ++i) {
    if (!known[first + i]) return false;
    b[i] = ByteAt(first + i);
  }
  for (int i = 0; i < 4; ++i)
    if (b[i] != b[8 + i] || b[i] != static_cast<uint8_t>(~b[4 + i])) return false;
  return b[12] == b[14] && b[13] == b[15] && b[12] == static_cast<uint8_t>(~b[13]);
}

void QVHexTextView::UpdateMarks() {
  // Runs of edited bytes get a tint of the highlight colour, runs without data the placeholder
  // text colour: both from the palette, so they read in light and dark themes alike.
  QColor tint = palette().color(QPalette::Highlight);
  tint.setAlpha(70);
  QTextCharFormat edited;
  edited.setBackground(tint);
  edited.setFontUnderline(true);
  QTextCharFormat missing;
  missing.setForeground(palette().color(QPalette::PlaceholderText));
  QList<QTextEdit::ExtraSelection> marks;
  const auto mark = [&](int from, int to, const QTextCharFormat& format) {
    QTextCursor cursor(document());
    cursor.setPosition(from * editor::kHexCharsPerByte);
    cursor.setPosition(to * editor::kHexCharsPerByte - 1, QTextCursor::KeepAnchor);
    marks.append({cursor, format});
  };
  const auto kind = [&](int i) {
    if (!known[i]) return 2;
    if (pendingBytes[i]) return 1;
    return i < reference.size() && ByteAt(i) != static_cast<uint8_t>(reference[i]) ? 1 : 0;
  };
  for (int i = 0; i < editor::kImageBytes;) {
    const int k = kind(i);
    int end = i + 1;
    while (end < editor::kImageBytes && kind(end) == k) ++end;
    if (k != 0) mark(i, end, k == 1 ? edited : missing);
    i = end;
  }
  setExtraSelections(marks);
}

void QVHexTextView::awakeFromNib() {
  aMenu = new QMenu(this);
  connect(aMenu->addAction(tr("Set FF")), &QAction::triggered, this, &QVHexTextView::menuSetFF);
  connect(aMenu->addAction(tr("Set 00")), &QAction::triggered, this, &QVHexTextView::menuSet00);
  aMenu->addSeparator();
  connect(aMenu->addAction(tr("Paste hex")), &QAction::triggered, this,
          [this] { pasteHex(QApplication::clipboard()->text()); });
  FillDigits('0');
  fntDati = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fntDati.setPointSize(12);
  setFont(fntDati);
  ShowBuffer({0, 0});
  if (offsetposition) offsetposition->clear();
}

void QVHexTextView::setAsciiView(QVAsciiView* view) {
  textDataView = view;
  if (view != nullptr) view->setHexView(this);
  updateData({0, 0});
}

void QVHexTextView::setOffsetField(QLineEdit* field) {
  offsetposition = field;
  if (offsetposition) offsetposition->clear();
}

void QVHexTextView::clear() {
  known = editor::AllKnown();
  FillDigits('0');
  updateData({0, 0});
  ResetEdits();
}

void QVHexTextView::showNothing() {
  known.reset();
  FillDigits('0');
  updateData({0, 0});
  ResetEdits();
}

void QVHexTextView::showImage(const QByteArray& bytes, const editor::KnownBytes& knownBytes) {
  known = knownBytes;
  FillDigits('0');
  const int shown = std::min(static_cast<int>(bytes.size()), editor::kImageBytes);
  for (int i = 0; i < shown; ++i) WriteByte(i, static_cast<uint8_t>(bytes[i]));
  updateData({0, 0});
  ResetEdits();
}

void QVHexTextView::refresh(const uint8_t* bytes, int count) {
  known = editor::AllKnown();
  FillDigits('0');
  const int shown = bytes == nullptr ? 0 : std::clamp(count, 0, editor::kImageBytes);
  for (int i = 0; i < shown; ++i) WriteByte(i, bytes[i]);
  updateData({0, 0});
  ResetEdits();
}

void QVHexTextView::refresh(const QByteArray& bytes) {
  refresh(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()));
}

QByteArray QVHexTextView::getBufferData(int& count) const {
  const editor::ByteImage image = Bytes();
  count = editor::kImageBytes;
  return QByteArray(reinterpret_cast<const char*>(image.data()), editor::kImageBytes);
}

QByteArray QVHexTextView::getBufferData() const {
  int count = 0;
  return getBufferData(count);
}

void QVHexTextView::updateData(TextRange range) {
  ShowBuffer(range);
  updateAsciiView(range);
}

void QVHexTextView::updateAsciiView(TextRange range) {
  if (!textDataView) return;
  // The companion selects every byte that the hex selection touches.
  const int first = range.location / editor::kHexCharsPerByte;
  const int end = range.length == 0
                      ? first
                      : (range.location + range.length - 1) / editor::kHexCharsPerByte + 1;
  textDataView->setBytesFromHex(Bytes(), {first, end - first});
}

void QVHexTextView::updateDataFromAscii(TextRange range, const editor::ByteImage& image) {
  bool changed = false;
  for (int i = 0; i < editor::kImageBytes; ++i) {
    const uint8_t byte = image[static_cast<std::size_t>(i)];
    if (!Editable(i) || ByteAt(i) == byte) continue;
    WriteByte(i, byte);
    changed = true;
  }
  ShowBuffer(range);
  if (changed) EditDone();
}

uint8_t QVHexTextView::atoh(QStringView pair) {
  return pair.size() == 2 ? norvex::hex::lenientByte(pair[0].unicode(), pair[1].unicode()) : 0;
}

void QVHexTextView::menuSetFF() {
  SetDigits('F');
}

void QVHexTextView::menuSet00() {
  SetDigits('0');
}

void QVHexTextView::SetDigits(char digit) {
  const TextRange selection = selectedRange();
  const bool whole = selection.length == 0;
  // No selection: the whole image, once the owner agrees.
  if (whole && wholeImageGuard && !wholeImageGuard(digit)) return;
  const TextRange range = whole ? TextRange{0, editor::kHexChars} : selection;
  const int end = std::min(range.location + range.length, editor::kHexChars);
  for (int i = range.location; i < end; ++i) {
    if (!IsSpace(i) && Editable(i / editor::kHexCharsPerByte))
      buffer[static_cast<std::size_t>(i)] = digit;
  }
  updateData(whole ? TextRange{0, 0} : selection);
  EditDone();
}

QString QVHexTextView::hexText() const {
  return QString::fromLatin1(buffer.data(), editor::kHexChars);
}

TextRange QVHexTextView::selectedRange() const {
  const QTextCursor cursor = textCursor();
  return {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

void QVHexTextView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
    if (event->matches(QKeySequence::Undo))
      edits->undo();
    else
      edits->redo();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    pasteHex(QApplication::clipboard()->text());
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
  // Shortcuts belong to the window; every other key is the view's and changes nothing but digits.
  if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) {
    event->ignore();
    return;
  }
  const QString text = event->text();
  if (text.size() == 1 && norvex::hex::digitValue(text[0].unicode()) >= 0)
    TypeDigit(text[0], selection);
}

void QVHexTextView::mousePressEvent(QMouseEvent* event) {
  // Only the left button places the caret; the others neither move it nor paste.
  if (event->button() == Qt::LeftButton) QPlainTextEdit::mousePressEvent(event);
}

void QVHexTextView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QPlainTextEdit::mouseReleaseEvent(event);
  const TextRange selection = selectedRange();
  int p = selection.location;
  if (IsSpace(p)) ++p;
  updateData({std::min(p, editor::kHexChars - 1), selection.length});
}

void QVHexTextView::contextMenuEvent(QContextMenuEvent* event) {
  aMenu->exec(event->globalPos());
}

bool QVHexTextView::canInsertFromMimeData(const QMimeData*) const {
  return false;
}

void QVHexTextView::insertFromMimeData(const QMimeData*) {}

void QVHexTextView::FillDigits(char digit) {
  for (int i = 0; i < editor::kImageBytes; ++i) {
    const auto at = static_cast<std::size_t>(i * editor::kHexCharsPerByte);
    const char shown = known[i] ? digit : '-';
    buffer[at] = shown;
    buffer[at + 1] = shown;
    buffer[at + 2] = ' ';
  }
  buffer[editor::kHexChars] = '\0';
}

void QVHexTextView::WriteByte(int index, uint8_t byte) {
  const auto at = static_cast<std::size_t>(index * editor::kHexCharsPerByte);
  buffer[at] = known[index] ? norvex::hex::digit(byte >> 4) : '-';
  buffer[at + 1] = known[index] ? norvex::hex::digit(byte) : '-';
  buffer[at + 2] = ' ';
}

uint8_t QVHexTextView::ByteAt(int index) const {
  const auto at = static_cast<std::size_t>(index * editor::kHexCharsPerByte);
  return PairValue(buffer[at], buffer[at + 1]);
}

editor::ByteImage QVHexTextView::Bytes() const {
  editor::ByteImage image{};
  for (int i = 0; i < editor::kImageBytes; ++i) image[static_cast<std::size_t>(i)] = ByteAt(i);
  return image;
}

void QVHexTextView::ShowBuffer(TextRange range) {
  // Sixteen bytes a line: the separator after every sixteenth byte is shown as a line break, so a
  // position in the text is the same index in the buffer.
  QString text = hexText();
  for (int line = 1; line < editor::kLines; ++line) {
    text[line * editor::kHexLineChars - 1] = QLatin1Char('\n');
  }
  editor::PatchText(*this, shownText, text);
  UpdateMarks();
  SelectAndReveal(range);
  UpdateOffset(selectedRange().location);
}

void QVHexTextView::SelectAndReveal(TextRange range) {
  const int last = document()->characterCount() - 1;
  const int start = std::clamp(range.location, 0, last);
  const int end = std::clamp(range.location + range.length, start, last);
  QTextCursor cursor(document());
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void QVHexTextView::UpdateOffset(int position) {
  if (offsetposition) {
    offsetposition->setText(QString::asprintf("%04x", position / editor::kHexCharsPerByte));
  }
}

void QVHexTextView::TypeDigit(QChar digit, TextRange selection) {
  int p = selection.location;
  if (p >= editor::kHexChars) {
    updateData(selection);
    return;
  }
  // A caret on a separator types into the next byte: the separators always stay spaces.
  if (IsSpace(p)) {
    ++p;
    if (p >= editor::kHexChars) {
      updateData(selection);
      return;
    }
  }
  if (!Editable(p / editor::kHexCharsPerByte)) {  // no card data here, or locked: no edit
    updateData(selection);
    return;
  }
  buffer[static_cast<std::size_t>(p)] = digit.toUpper().toLatin1();
  int next = p + 1;
  if (next > kLastDigit) {
    next = p;
  } else if (IsSpace(next)) {
    next = p + 2;
  }
  updateData({next, selection.length});
  EditDone();
}

void QVHexTextView::Backspace(TextRange selection) {
  const int p = selection.location;
  if (p == 0 || p > editor::kHexChars) return;
  const int q = p - 1;
  const bool editsByte = !IsSpace(q) && Editable(q / editor::kHexCharsPerByte);
  if (editsByte) buffer[static_cast<std::size_t>(q)] = '0';
  updateData({q, selection.length});
  if (editsByte) EditDone();
}

void QVHexTextView::MoveHorizontally(bool right, TextRange selection) {
  const int p = selection.location;
  int x = 0;
  if (right) {
    if (p > kLastDigit - 1) return;
    x = selection.length > 0 ? p + selection.length : p + 1;
    if (IsSpace(x)) ++x;
    x = std::min(x, editor::kHexChars);
  } else {
    x = selection.length > 0 ? p : std::max(p - 1, 0);
    if (IsSpace(x)) --x;
  }
  SelectAndReveal({x, 0});
  UpdateOffset(x);
}

bool QVHexTextView::IsSpace(int position) const {
  return position >= 0 && position < editor::kHexChars &&
         buffer[static_cast<std::size_t>(position)] == ' ';
}
