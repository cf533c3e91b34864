// SPDX-License-Identifier: MIT
#pragma once
// The explorer's modal alert: a title, a text shown verbatim and one "OK" button. A text too tall
// for a small screen (one line per sector of a 4K card) shows its details in a scrolling view.

#include <QString>
#include <functional>

class QWidget;

// Shows the alert and returns once the user has dismissed it.
void RunModalAlert(const QString& title, const QString& text, QWidget* parent = nullptr);

// Where an object sends the alerts it raises (tests put a recorder here).
using AlertHandler = std::function<void(const QString& title, const QString& text)>;

// Asks the user to confirm a step that changes a card or drops edits; true for "Yes".
bool RunModalConfirm(const QString& title, const QString& text, QWidget* parent = nullptr);

// Where an object sends its questions (tests put an answering recorder here).
using ConfirmHandler = std::function<bool(const QString& title, const QString& text)>;
