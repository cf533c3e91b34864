// SPDX-License-Identifier: MIT
#pragma once
// One edit of a hex view on its undo stack: the span of hex text it changed, before and after.

#include <QByteArray>
#include <QUndoCommand>

class QVHexTextView;

class HexEditCommand : public QUndoCommand {
 public:
  HexEditCommand(QVHexTextView& view, int position, QByteArray before, QByteArray after);
  void undo() override;
  void redo() override;

 private:
  QVHexTextView& view;
  int position;
  QByteArray before;
  QByteArray after;
  bool done = true;  // pushed after the edit was made: the first redo has nothing to do
};
