// SPDX-License-Identifier: MIT
#include "HexEditCommand.h"

#include <utility>

#include "QVHexTextView.h"

HexEditCommand::HexEditCommand(QVHexTextView& hexView, int at, QByteArray old, QByteArray now)
    : view(hexView), position(at), before(std::move(old)), after(std::move(now)) {
  setText(QObject::tr("edit"));
}

void HexEditCommand::undo() {
  view.restoreText(position, before);
  done = false;
}

void HexEditCommand::redo() {
  if (done) return;
  view.restoreText(position, after);
  done = true;
}
