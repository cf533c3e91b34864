// SPDX-License-Identifier: MIT
#pragma once
// The vertical navigation keys shared by the hex and the ASCII view: both move the caret by lines
// and pages, clamp at the start and at their last caret position, and jump with Home and End.

#include <QtGlobal>
#include <algorithm>
#include <optional>

namespace editor {

struct NavigationSteps {
  int line;  // caret positions per line of 16 bytes
  int page;  // caret positions per page
  int end;   // the last caret position a move can reach
};

// Where Up, Down, Page Up, Page Down, Home or End put a caret standing at p; nullopt for other
// keys.
inline std::optional<int> VerticalMove(int key, int p, const NavigationSteps& steps) {
  switch (key) {
    case Qt::Key_Up:
      return p <= steps.line ? 0 : p - steps.line;
    case Qt::Key_Down:
      return std::min(p + steps.line, steps.end);
    case Qt::Key_PageUp:
      return p <= steps.page ? 0 : p - steps.page;
    case Qt::Key_PageDown:
      return std::min(p + steps.page, steps.end);
    case Qt::Key_Home:
      return 0;
    case Qt::Key_End:
      return steps.end;
    default:
      return std::nullopt;
  }
}

}  // namespace editor
