// SPDX-License-Identifier: MIT
#pragma once
// ASCII side of the whole-card editor: the same 3456 bytes as characters, 16 per line, a substitute
// glyph for every byte outside printable ASCII. Its byte buffer follows the hex companion, so an
// edit here changes exactly the bytes edited.

#include <QFont>
#include <QPlainTextEdit>
#include <QPointer>

#include "EditorLayout.h"

class QVHexTextView;

class QVAsciiView : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit QVAsciiView(QWidget* parent = nullptr);

  void setHexView(QVHexTextView* view);

  // Takes the bytes the hex companion holds (nothing to take without one).
  void setTextToBuffer();
  // Regenerates the text from the buffer, selects `range` (byte indices), brings it into view and
  // passes the image on to the hex companion.
  void updateData(editor::TextRange range);
  // Hands the whole buffer to the hex companion with the hex range of `range`.
  void updateHexView(editor::TextRange range);
  // Shows bytes coming from the hex companion, with `range` selected; nothing is sent back.
  void setBytesFromHex(const editor::ByteImage& bytes, editor::TextRange range);

  const editor::ByteImage& bufferBytes() const { return buffer; }
  // The selection in byte indices.
  editor::TextRange selectedRange() const;

  // Text positions and byte indices: the text carries a line break after every 16 bytes.
  static int displayPosition(int byteIndex);
  static int byteIndex(int displayPosition);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void awakeFromNib();
  void ShowBuffer(editor::TextRange range);
  bool Known(int byte) const;
  void Backspace(editor::TextRange selection);
  void TypeCharacter(QChar character, editor::TextRange selection);
  void MoveHorizontally(bool right, editor::TextRange selection);

  QFont fntDati;
  QString shownText;  // what the document holds
  editor::ByteImage buffer{};
  QPointer<QVHexTextView> aHexView;
};
