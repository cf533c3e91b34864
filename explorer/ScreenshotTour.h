// SPDX-License-Identifier: MIT
#pragma once
// The hidden --screenshot option: drives the window through a tour in simulated mode and saves one
// picture per card view. Each stop of the tour is a row of a table: the card to place in the field
// (or one of those there from the start), the view to show and the file to write; a stop may
// prepare its view (read the card, open a panel) before the picture is taken. Runs on the GUI
// loop; `done` gets true once every file is written.

#include <QString>
#include <functional>

class SimulatedMode;
class mainWndController;

void RunScreenshotTour(mainWndController& window, SimulatedMode& simulated,
                       const QString& directory, std::function<void(bool ok)> done);
