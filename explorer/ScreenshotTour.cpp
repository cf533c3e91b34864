// SPDX-License-Identifier: MIT
#include "ScreenshotTour.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "MainWndController.h"
#include "QVMifareObj.h"
#include "SimulatedMode.h"

namespace {

constexpr int kPollMs = 50;
constexpr int kCardWaitMs = 5000;
constexpr int kSettleMs = 400;

struct Tour {
  mainWndController& window;
  QString path;
  std::function<void(bool)> done;
  QElapsedTimer waiting;
};

void Fail(const std::shared_ptr<Tour>& tour, const char* why) {
  std::fprintf(stderr, "Orlith --screenshot: %s\n", why);
  tour->done(false);
}

bool HasCardOfType(const std::shared_ptr<Tour>& tour, const char* type) {
  const auto& cards = tour->window.MifareObj().RegisteredCards();
  return std::any_of(cards.begin(), cards.end(),
                     [type](const auto& card) { return card->CardType() == QLatin1String(type); });
}

void SaveWindow(const std::shared_ptr<Tour>& tour) {
  QApplication::processEvents();
  if (!tour->window.grab().save(tour->path, "PNG")) return Fail(tour, "cannot write the picture");
  tour->done(true);
}

// Read all runs on a worker thread: the picture is taken once it ended.
void WaitForRead(const std::shared_ptr<Tour>& tour) {
  if (tour->window.IsBusy() && tour->waiting.elapsed() < kCardWaitMs) {
    QTimer::singleShot(kPollMs, &tour->window, [tour] { WaitForRead(tour); });
    return;
  }
  if (tour->window.IsBusy()) return Fail(tour, "the card was not read");
  tour->window.showKeyMng();
  QTimer::singleShot(kSettleMs, &tour->window, [tour] { SaveWindow(tour); });
}

void ReadOneK(const std::shared_ptr<Tour>& tour) {
  for (const auto& card : tour->window.MifareObj().RegisteredCards()) {
    if (card->CardType() != QLatin1String("Mifare 1K")) continue;
    if (!tour->window.SelectCardRow(*card, true)) break;
    tour->window.readAllData();
    tour->waiting.restart();
    WaitForRead(tour);
    return;
  }
  Fail(tour, "no Mifare 1K card in the tree");
}

void WaitForCards(const std::shared_ptr<Tour>& tour) {
  if (HasCardOfType(tour, "Mifare 1K") && HasCardOfType(tour, "Mifare 4K")) return ReadOneK(tour);
  if (tour->waiting.elapsed() > kCardWaitMs) return Fail(tour, "the cards were not found");
  QTimer::singleShot(kPollMs, &tour->window, [tour] { WaitForCards(tour); });
}

}  // namespace

void RunScreenshotTour(mainWndController& window, SimulatedMode& simulated, const QString& path,
                       std::function<void(bool ok)> done) {
  auto tour = std::make_shared<Tour>(Tour{window, path, std::move(done), {}});
  const auto& reader = simulated.Readers().front();
  simulated.WriteDemoContent(reader.index, simulated.InitialCards(reader.index).front());
  // Let the window appear before the scan starts.
  QTimer::singleShot(kSettleMs, &window, [tour] {
    tour->window.startScan();
    if (!tour->window.IsScanning()) return Fail(tour, "the reader did not connect");
    tour->waiting.start();
    WaitForCards(tour);
  });
}
