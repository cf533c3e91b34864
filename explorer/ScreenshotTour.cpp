// SPDX-License-Identifier: MIT
#include "ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ClassicView.h"
#include "MainWndController.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "SimulatedMode.h"

namespace {

constexpr int kPollMs = 50;
constexpr int kWaitMs = 5000;
constexpr int kSettleMs = 400;

// One picture: the card (a simulator card kind to place, "" for the demo Mifare 1K placed at
// start) selected by its type text, the view (object name) that must be on show, the file under
// the output directory, and what to do in the view first (may start a job; the picture waits).
struct Stop {
  std::string place;
  const char* cardType;
  const char* view;
  const char* file;
  std::function<void(mainWndController&)> prepare;
};

const std::vector<Stop>& Stops() {
  static const std::vector<Stop> stops = {
      {"", "Mifare 1K", "classicView", "orlith-classic-view.png",
       [](mainWndController& window) {
         window.Classic().ReadAll();
         window.Classic().ToggleKeys();
       }},
  };
  return stops;
}

struct Tour {
  mainWndController& window;
  SimulatedMode& simulated;
  QDir directory;
  std::function<void(bool)> done;
  std::size_t next = 0;
  QElapsedTimer waiting;
};
using TourPtr = std::shared_ptr<Tour>;

void Fail(const TourPtr& tour, const char* why) {
  std::fprintf(stderr, "Orlith --screenshot: %s (stop %zu)\n", why, tour->next + 1);
  tour->done(false);
}

std::shared_ptr<QVMifareCard> CardOfType(const TourPtr& tour, const char* type) {
  for (const auto& card : tour->window.MifareObj().RegisteredCards())
    if (card->CardType() == QLatin1String(type)) return card;
  return nullptr;
}

// Polls `ready` until it holds (then `then`) or the wait is over (then fails with `why`).
void WaitFor(const TourPtr& tour, std::function<bool()> ready, std::function<void()> then,
             const char* why) {
  if (ready()) return then();
  if (tour->waiting.elapsed() > kWaitMs) return Fail(tour, why);
  QTimer::singleShot(kPollMs, &tour->window,
                     [tour, ready = std::move(ready), then = std::move(then), why]() mutable {
                       WaitFor(tour, std::move(ready), std::move(then), why);
                     });
}

void RunStop(const TourPtr& tour);

void TakePicture(const TourPtr& tour) {
  QApplication::processEvents();
  const Stop& stop = Stops()[tour->next];
  if (!tour->window.grab().save(tour->directory.filePath(QLatin1String(stop.file)), "PNG"))
    return Fail(tour, "cannot write the picture");
  std::printf("%s\n", qPrintable(tour->directory.filePath(QLatin1String(stop.file))));
  ++tour->next;
  RunStop(tour);
}

void ShowStop(const TourPtr& tour) {
  const Stop& stop = Stops()[tour->next];
  const auto card = CardOfType(tour, stop.cardType);
  if (!card || !tour->window.SelectCardRow(*card, true)) return Fail(tour, "no such card");
  const auto& shown = tour->window.ShownViews();
  if (shown.empty() || shown.front()->objectName() != QLatin1String(stop.view))
    return Fail(tour, "the card's view is not shown");
  if (stop.prepare) stop.prepare(tour->window);
  tour->waiting.restart();
  WaitFor(
      tour, [tour] { return !tour->window.IsBusy(); },
      [tour] { QTimer::singleShot(kSettleMs, &tour->window, [tour] { TakePicture(tour); }); },
      "the view's job did not end");
}

void RunStop(const TourPtr& tour) {
  if (tour->next == Stops().size()) return tour->done(true);
  const Stop& stop = Stops()[tour->next];
  if (!stop.place.empty()) {
    const auto& reader = tour->simulated.Readers().front();
    if (tour->simulated.PlaceCard(reader.index, stop.place).empty())
      return Fail(tour, "the card cannot be placed");
  }
  tour->waiting.restart();
  WaitFor(
      tour, [tour, type = stop.cardType] { return CardOfType(tour, type) != nullptr; },
      [tour] { ShowStop(tour); }, "the card was not found");
}

}  // namespace

void RunScreenshotTour(mainWndController& window, SimulatedMode& simulated,
                       const QString& directory, std::function<void(bool ok)> done) {
  auto tour =
      std::make_shared<Tour>(Tour{window, simulated, QDir(directory), std::move(done), 0, {}});
  const auto& reader = simulated.Readers().front();
  simulated.WriteDemoContent(reader.index, simulated.InitialCards(reader.index).front());
  // Let the window appear before the scan starts.
  QTimer::singleShot(kSettleMs, &window, [tour] {
    tour->window.startScan();
    if (!tour->window.IsScanning()) return Fail(tour, "the reader did not connect");
    RunStop(tour);
  });
}
