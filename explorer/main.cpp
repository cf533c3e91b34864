// SPDX-License-Identifier: MIT
// Orlith, the Mifare card explorer. `Orlith --simulate` runs it against an in-process reader
// simulator with a Mifare Classic 1K and a 4K card in the field of each virtual reader.

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <cstdio>
#include <exception>
#include <memory>

#include "MainWndController.h"
#include "ScreenshotTour.h"
#include "SimulatedMode.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orlith"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Mifare Classic card explorer"));
  parser.addHelpOption();
  const QCommandLineOption simulate(
      QStringLiteral("simulate"),
      QStringLiteral(
          "Use an in-process reader simulator with virtual cards instead of USB readers."));
  QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("Tour the simulated cards and save a picture of each view."),
      QStringLiteral("directory"));
  screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(simulate);
  parser.addOption(screenshot);
  parser.process(app);

  // Declared before the window, so that the window (and its reader session) goes first.
  std::unique_ptr<SimulatedMode> simulated;
  if (parser.isSet(simulate) || parser.isSet(screenshot)) {
    try {
      simulated = std::make_unique<SimulatedMode>();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "Orlith: cannot start the reader simulator: %s\n", error.what());
      return 1;
    }
  }

  mainWndController window;
  if (simulated) {
    simulated->InstallMenu(window.menuBar(), &window);
    window.setWindowTitle(QStringLiteral("Orlith \u2013 simulated readers"));
  }
  // Wide enough for the labelled hex view, the ASCII column and the key panel side by side; the
  // window also works down to 1024x600 (the panels then scroll).
  window.resize(QSize(1440, 800).boundedTo(window.screen()->availableSize()));
  window.show();

  if (parser.isSet(screenshot)) {
    RunScreenshotTour(window, *simulated, parser.value(screenshot),
                      [](bool ok) { QCoreApplication::exit(ok ? 0 : 1); });
  }
  return QApplication::exec();
}
