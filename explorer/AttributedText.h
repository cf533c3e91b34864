// SPDX-License-Identifier: MIT
#pragma once
// A displayable text with its foreground colour, the value a card-tree row holds for a column.

#include <QColor>
#include <QString>

struct AttributedText {
  QString text;
  QColor foreground;

  bool operator==(const AttributedText&) const = default;
};
