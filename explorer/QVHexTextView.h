// SPDX-License-Identifier: MIT
#pragma once
// Hex editor of one whole-card data image (3456 bytes). The view keeps its own character buffer
// as the truth: every key is interpreted here, the buffer is changed and the whole text is then
// regenerated from it. An optional ASCII companion shows the same bytes as characters.

#include <QFont>
#include <QPlainTextEdit>
#include <QPointer>
#include <array>
#include <functional>

#include "EditorLayout.h"

class HexGutter;
class QLineEdit;
class QMenu;
class QUndoStack;
class QVAsciiView;

class QVHexTextView : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit QVHexTextView(QWidget* parent = nullptr);

  // Couples the ASCII companion (both ways) and shows the image on it.
  void setAsciiView(QVAsciiView* view);

  // The text field that shows the caret's byte offset ("%04x").
  void setOffsetField(QLineEdit* field);

  // Every byte back to 00 and editable, caret at 0.
  void clear();
  // No card data at all: every byte shows as "--" and nothing can be edited.
  void showNothing();
  // Shows the image with only the `known` bytes as data (the others "--", not editable).
  void showImage(const QByteArray& bytes, const editor::KnownBytes& known);
  bool isKnown(int byte) const { return byte >= 0 && byte < editor::kImageBytes && known[byte]; }
  // Bytes shown as data but never edited (block 0, which is never written).
  void setLockedBytes(const editor::KnownBytes& bytes);
  // Asked before Set FF / Set 00 without a selection changes the whole image; false leaves it.
  void setWholeImageGuard(std::function<bool(char digit)> guard) {
    wholeImageGuard = std::move(guard);
  }
  const editor::KnownBytes& knownBytes() const { return known; }
  // Shows `count` bytes (at most 3456) from the start of the image; the rest is 00. Caret at 0.
  void refresh(const uint8_t* bytes, int count);
  void refresh(const QByteArray& bytes);
  // The whole 3456-byte image; `count` receives its size.
  QByteArray getBufferData(int& count) const;
  QByteArray getBufferData() const;

  // Regenerates the text from the buffer, selects `range` and brings it into view, and updates
  // the ASCII companion and the offset field.
  void updateData(editor::TextRange range);
  // Shows the buffer's bytes on the ASCII companion, with the bytes of `range` selected there.
  void updateAsciiView(editor::TextRange range);
  // Takes the image from the ASCII side: every byte of `data` is written as its hex pair.
  void updateDataFromAscii(editor::TextRange range, const editor::ByteImage& data);

  // Hexadecimal pair to byte.
  static uint8_t atoh(QStringView pair);

  // Set the selected digits (or, with no selection, the whole image) to F or to 0.
  void menuSetFF();
  void menuSet00();

  // Labels of the lines (16 bytes each) in a column left of the text; none without a labeller.
  // A line whose 16 bytes are all data and in Mifare value-block format gets a "V" after its label.
  void setLineLabels(std::function<QString(int line)> labeller);
  // The gutter's text for a line: its label, " V" after it on a value block ("" without labels).
  QString lineLabel(int line) const;
  // The bytes as read from the card: bytes that differ, and the `pending` ones (not known to be
  // on the card at all), are marked as edited until written.
  void setReference(const QByteArray& bytes, const editor::KnownBytes& pending = {});
  int gutterWidth() const;
  void paintGutter(QPaintEvent* event);
  // Whether line `line` holds a Mifare value block (value, inverted value, value, address bytes).
  bool isValueLine(int line) const;

  // Undo and redo of the user's edits; emptied when another image is shown.
  QUndoStack* undoStack() const { return edits; }
  // Puts hex text back at a text position (undo and redo); the bytes count as edited.
  void restoreText(int position, const QByteArray& chars);
  // Writes the hex digits of `text` (spaces, line breaks, commas and 0x prefixes allowed) from the
  // caret's byte on, into bytes with card data only; false when the text is not hex.
  bool pasteHex(const QString& text);

  QMenu* contextMenu() const { return aMenu; }
  // The hex text: 3456 groups of two digits and a space.
  QString hexText() const;
  editor::TextRange selectedRange() const;

 signals:
  // The user changed bytes (typing, deleting, Set FF/00, an edit on the ASCII side).
  void bytesEdited();
  // A paste changed nothing (the text is not hex) or only part of what it held: why.
  void pasteRefused(const QString& why);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  // A byte the user may change: card data, not locked.
  bool Editable(int byte) const;
  void awakeFromNib();
  void FillDigits(char digit);
  void SetDigits(char digit);
  void WriteByte(int index, uint8_t byte);
  uint8_t ByteAt(int index) const;
  editor::ByteImage Bytes() const;
  void ShowBuffer(editor::TextRange range);
  void SelectAndReveal(editor::TextRange range);
  void UpdateOffset(int position);
  void TypeDigit(QChar digit, editor::TextRange selection);
  void Backspace(editor::TextRange selection);
  void MoveHorizontally(bool right, editor::TextRange selection);
  bool IsSpace(int position) const;
  // Tints edited bytes and greys the bytes without card data.
  void UpdateMarks();
  void UpdateGutterGeometry();
  // An edit is done: put it on the undo stack and tell the window.
  void EditDone();
  // The text as now shown becomes the base of the next edit (and of a fresh undo stack).
  void ResetEdits();

  QPointer<QVAsciiView> textDataView;
  QPointer<QLineEdit> offsetposition;
  QFont fntDati;
  QString shownText;  // what the document holds
  QMenu* aMenu = nullptr;
  // 3456 groups "XX " and a terminating zero at index 10368.
  std::array<char, editor::kHexChars + 1> buffer{};
  editor::KnownBytes known = editor::AllKnown();
  editor::KnownBytes locked;
  std::function<bool(char digit)> wholeImageGuard;
  QByteArray reference;
  editor::KnownBytes pendingBytes;
  std::function<QString(int line)> lineLabels;
  HexGutter* gutter = nullptr;
  QUndoStack* edits = nullptr;
  std::array<char, editor::kHexChars + 1> lastBuffer{};
};
