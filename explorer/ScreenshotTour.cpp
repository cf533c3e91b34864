// SPDX-License-Identifier: MIT
#include "ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
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
// the output directory, what to do in the view first (may start a job; the picture waits), and
// whether the card must be alone in the field (the other cards are taken away first).
struct Stop {
  std::string place;
  const char* cardType;
  const char* view;
  const char* file;
  std::function<void(mainWndController&)> prepare;
  bool alone = false;
};

// Clicks a button of the window, found by object name.
void Click(mainWndController& window, const char* button) {
  if (auto* found = window.findChild<QPushButton*>(QLatin1String(button))) found->click();
}

// An NDEF message: text "Orlith" (en), URI https://example.com, MIME text/plain "hi".
constexpr char kDemoNdef[] =
    "9101095402656E4F726C69746811010C55046578616D706C652E636F6D520A02746578742F706C61696E6869";

const std::vector<Stop>& Stops() {
  static const std::vector<Stop> stops = {
      {"", "Mifare 1K", "classicView", "orlith-classic-view.png",
       [](mainWndController& window) {
         window.Classic().ReadAll();
         window.Classic().ToggleKeys();
       }},
      {"ntag213:pwd=11223344,pack=AABB,auth0=10,ndef=D1010854027465787478", "Mifare Ultralight",
       "ultralightView", "orlith-ultralight-view.png",
       [](mainWndController& window) { Click(window, "ulReadAll"); }},
      {"desfire:ndef=D1010854027465787478", "Mifare DESFire", "desfireView",
       "orlith-desfire-view.png", [](mainWndController& window) { Click(window, "dfList"); }},
      {"iso14443-4", "ISO 14443-4 card", "iso14443View", "orlith-iso14443-view.png",
       [](mainWndController& window) {
         Click(window, "isoActivate");
         if (auto* input = window.findChild<QLineEdit*>(QStringLiteral("apduInput")))
           input->setText(QStringLiteral("00A4040C07D2760000850101; 00A4000C02E104; 00B0000000"));
         Click(window, "apduSend");
       }},
      {std::string("ntag213:ndef=") + kDemoNdef, "Mifare Ultralight", "ndefView",
       "orlith-ndef-view.png", [](mainWndController& window) { Click(window, "ndefRead"); }, true},
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
  // The family view is the first tab; another view (NDEF) is made the current tab.
  const auto& shown = tour->window.ShownViews();
  const auto view = std::find_if(shown.begin(), shown.end(), [&stop](const CardView* candidate) {
    return candidate->objectName() == QLatin1String(stop.view);
  });
  if (view == shown.end()) return Fail(tour, "the card's view is not shown");
  if (auto* tabs = tour->window.findChild<QTabWidget*>(QStringLiteral("cardViews")))
    tabs->setCurrentWidget(*view);
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
    if (stop.alone) tour->simulated.RemoveAllCards(reader.index);
    if (tour->simulated.PlaceCard(reader.index, stop.place).empty())
      return Fail(tour, "the card cannot be placed");
  }
  tour->waiting.restart();
  WaitFor(
      tour,
      [tour, type = stop.cardType, alone = stop.alone] {
        // Alone: the cards taken away have left the tree too.
        return CardOfType(tour, type) != nullptr &&
               (!alone || tour->window.MifareObj().RegisteredCards().size() == 1);
      },
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
