#pragma once
// The explorer's modal alert: a title, a text shown verbatim and one "OK" button.

#include <QString>
#include <functional>

class QWidget;

// Shows the alert and returns once the user has dismissed it.
void RunModalAlert(const QString& title, const QString& text, QWidget* parent = nullptr);

// Where an object sends the alerts it raises (tests put a recorder here).
using AlertHandler = std::function<void(const QString& title, const QString& text)>;
