// SPDX-License-Identifier: MIT
#pragma once
// The hidden --screenshot option: drives the window through a short tour in simulated mode (start
// the scan, wait for the cards, select the Mifare 1K card with its mixed keys, read it all, open
// the key panel) and
// saves a picture of the window. Runs on the GUI loop; `done` gets true once the file is written.

#include <QString>
#include <functional>

class SimulatedMode;
class mainWndController;

void RunScreenshotTour(mainWndController& window, SimulatedMode& simulated, const QString& path,
                       std::function<void(bool ok)> done);
