// SPDX-License-Identifier: MIT
#include "HexGutter.h"

#include "QVHexTextView.h"

HexGutter::HexGutter(QVHexTextView* hexView) : QWidget(hexView), view(hexView) {}

QSize HexGutter::sizeHint() const {
  return {view->gutterWidth(), 0};
}

void HexGutter::paintEvent(QPaintEvent* event) {
  view->paintGutter(event);
}
