// SPDX-License-Identifier: MIT
#pragma once
// Brings a text view's document to a new text by replacing only the span that changed: a
// keystroke in a 4K image touches one character instead of re-laying out ten thousand.

#include <QString>

class QPlainTextEdit;

namespace editor {

// `shown` is what the view's document holds (kept up to date here).
void PatchText(QPlainTextEdit& view, QString& shown, const QString& text);

}  // namespace editor
