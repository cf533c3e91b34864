// SPDX-License-Identifier: MIT
#pragma once
// Shared set-up of the tests that need a reader: a fresh in-process simulator on a socket in a
// temporary directory, NORVEX_SIMULATOR pointing at it, and the main window (which owns the card
// access object) on screen with its alerts recorded instead of shown. The tests drive the window
// as a user does, with mouse clicks and keys on its widgets (found by object name); the scan
// timer registers the cards. The card tree's model contract is checked by QAbstractItemModelTester
// through every flow.

#include <QAbstractItemModelTester>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MainWndController.h"
#include "QVHexTextView.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"
#include "sim/Simulator.h"

struct RecordedAlert {
  QString title;
  QString text;
};

using Bytes = std::vector<uint8_t>;

// Bound of every wait for something the window or a worker does in its own time: generous, so
// that a loaded machine (a sanitizer build beside other jobs) only makes the wait longer.
constexpr int kWaitMs = 30000;

// First block and number of data blocks of a Mifare Classic sector.
inline int FirstBlock(int sector) {
  return sector < 32 ? 4 * sector : 128 + 16 * (sector - 32);
}
inline int DataBlocks(int sector) {
  return sector < 32 ? 3 : 15;
}

inline QByteArray ToQBytes(const Bytes& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

class MainWindowHarness {
 public:
  MainWindowHarness() {
    sim = std::make_unique<norvexsim::Simulator>(
        directory.filePath(QStringLiteral("bus")).toStdString());
    qputenv("NORVEX_SIMULATOR", QByteArray::fromStdString(sim->socketPath()));
    window = std::make_unique<mainWndController>();
    window->resize(1100, 700);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qWarning("the window was not exposed");
    window->SetAlertHandler([this](const QString& title, const QString& text) {
      alerts.push_back({title, text});
    });
    window->SetConfirmHandler([this](const QString& title, const QString& text) {
      confirms.push_back({title, text});
      return confirmAnswer;
    });
    window->SetFileChooser([this](bool, const QString&, const QString&) { return fileToChoose; });
    QObject::connect(window.get(), &mainWndController::cardJobFinished, [this] { ++jobsFinished; });
    tester = std::make_unique<QAbstractItemModelTester>(
        &Tree(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  }

  ~MainWindowHarness() {
    tester.reset();
    window.reset();
    sim.reset();
    qunsetenv("NORVEX_SIMULATOR");
  }

  QVMifareObj& Obj() { return window->MifareObj(); }
  QVTreeDataSource& Tree() { return window->TreeDataSource(); }
  template <typename T>
  T* Child(const char* name) {
    return window->findChild<T*>(QLatin1String(name));
  }
  QString Status() { return Child<QGroupBox>("infoOper")->title(); }
  QVHexTextView* DataView() { return Child<QVHexTextView>("dataView"); }
  QVHexTextView* SectorView() { return Child<QVHexTextView>("sectorData"); }
  QTimer* ScanTimer() { return Child<QTimer>("aTimerScansione"); }

  // Clicks a visible, enabled widget found by object name and waits for a whole-card job it
  // started to end; false when there is no such widget.
  bool Click(const char* name) {
    if (!ClickOnly(name)) return false;
    return QTest::qWaitFor([this] { return !window->IsBusy(); }, kWaitMs);
  }
  // Waits until a whole-card job started after `finishedBefore` jobs had ended (by a shortcut,
  // say, which clicks its button a moment later) has ended too; false when it did not.
  bool WaitForJobEnd(int finishedBefore) {
    return QTest::qWaitFor([this, finishedBefore] { return jobsFinished > finishedBefore; },
                           kWaitMs);
  }
  // The same without waiting.
  bool ClickOnly(const char* name) {
    auto* widget = Child<QWidget>(name);
    if (widget == nullptr || !widget->isVisible() || !widget->isEnabled()) return false;
    QTest::mouseClick(widget, Qt::LeftButton);
    return true;
  }

  // Opens a menu of the menu bar with a click and clicks one of its items; false when either is
  // missing, hidden or disabled.
  bool ClickMenu(const char* menuName, const char* actionName) {
    auto* menu = Child<QMenu>(menuName);
    auto* action = Child<QAction>(actionName);
    if (menu == nullptr || action == nullptr || !action->isEnabled()) return false;
    QMenuBar* bar = window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) return false;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    return !menu->isVisible();
  }

  // A reader (TR10) and a scan started with the Start scan button.
  bool StartScanning() {
    reader = sim->addReader(0x0110);
    return Click("startBtn") && window->IsScanning();
  }

  // A running scan with one registered card whose tree row (or property row `child`) is clicked.
  bool ScanWithSelectedCard(const std::string& card, int child = -1) {
    return StartScanning() && !PlaceAndRegister(card).empty() && SelectCard(0, child);
  }

  // Places a card in the field and waits until a scan tick has registered it and the tree shows
  // it; the UID, or nothing when the card did not appear.
  Bytes PlaceAndRegister(const std::string& card) {
    const Bytes uid = sim->placeCard(reader, card);
    const int wanted = Obj().NumberOfRegisteredCards() + 1;
    if (!QTest::qWaitFor([&] { return Tree().rowCount() == wanted; }, kWaitMs)) return {};
    uids.push_back(uid);
    return uid;
  }

  // Clicks the tree row of the registered card at `index`; with `child` >= 0 expands the row with
  // the Right key and clicks that property row.
  bool SelectCard(int index, int child = -1) {
    auto* tree = Child<QTreeView>("treeCard");
    QModelIndex row = Tree().index(index, 0);
    ClickRow(tree, row);
    if (child >= 0) {
      QTest::keyClick(tree, Qt::Key_Right);
      row = Tree().index(child, 1, row);
      ClickRow(tree, row);
    }
    return row.isValid() && tree->currentIndex() == row && window->SelectedCard() != nullptr;
  }

  // Clicks a hex view on the first digit of byte `byte` (scrolled into view first) and types.
  static void TypeAt(QVHexTextView* view, int byte, const QString& digits) {
    view->verticalScrollBar()->setValue(byte / editor::kBytesPerLine);
    QTextCursor cursor(view->document());
    cursor.setPosition(editor::kHexCharsPerByte * byte);
    const QRect caret = view->cursorRect(cursor);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, caret.center() + QPoint(2, 0));
    QTest::keyClicks(view, digits);
  }

  static void ClickRow(QTreeView* tree, const QModelIndex& row) {
    tree->scrollTo(row);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(row).center());
  }

  // Chooses a sector in the sector manager's list with the keyboard: Home, then Down.
  void ChooseSector(int sector) {
    auto* list = Child<QComboBox>("sectorsel");
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < sector; ++i) QTest::keyClick(list, Qt::Key_Down);
  }

  Bytes Memory() const { return sim->cardMemory(reader, uids.at(0)); }
  Bytes Block(int block) const {
    const Bytes memory = Memory();
    return Bytes(memory.begin() + 16 * block, memory.begin() + 16 * (block + 1));
  }

  // Data bytes (trailers left out) of the first `sectors` sectors of the card, in sector order.
  QByteArray DataImage(int sectors) const {
    const Bytes memory = Memory();
    QByteArray image;
    for (int s = 0; s < sectors; ++s) {
      const auto first = memory.begin() + 16 * FirstBlock(s);
      image += ToQBytes(Bytes(first, first + 16 * DataBlocks(s)));
    }
    return image;
  }

  // Fills the data blocks of the first `sectors` sectors, the manufacturer block excepted.
  void FillDataBlocks(int sectors) {
    Bytes memory = Memory();
    for (int s = 0; s < sectors; ++s)
      for (int block = std::max(1, FirstBlock(s)); block < FirstBlock(s) + DataBlocks(s); ++block)
        for (int i = 0; i < 16; ++i) memory[16 * block + i] = static_cast<uint8_t>(block * 7 + i);
    sim->setCardMemory(reader, uids.at(0), memory);
  }

  // Overwrites trailer bytes from `offset` (key A at 0, access bytes at 6) in sectors [from, to).
  void SetTrailerBytes(int from, int to, int offset, const Bytes& bytes) {
    Bytes memory = Memory();
    for (int s = from; s < to; ++s)
      std::copy(bytes.begin(), bytes.end(),
                memory.begin() + 16 * (FirstBlock(s) + DataBlocks(s)) + offset);
    sim->setCardMemory(reader, uids.at(0), memory);
  }
  // Key A of a sector no longer fits the card record's key.
  void ChangeTrailerKeyA(int sector) { SetTrailerBytes(sector, sector + 1, 0, Bytes(6, 0x11)); }
  // Key B kept secret (trailer condition 011), so that it authenticates the data blocks.
  void MakeKeyBUsable(int sectors) { SetTrailerBytes(0, sectors, 6, {0x7F, 0x07, 0x88, 0x69}); }

  QTemporaryDir directory;
  std::unique_ptr<norvexsim::Simulator> sim;
  std::unique_ptr<mainWndController> window;
  std::unique_ptr<QAbstractItemModelTester> tester;
  std::vector<RecordedAlert> alerts;
  int jobsFinished = 0;                 // whole-card jobs ended since the window opened
  std::vector<RecordedAlert> confirms;  // questions asked, each answered with confirmAnswer
  bool confirmAnswer = true;
  QString fileToChoose;  // what the file dialogs answer
  std::vector<Bytes> uids;
  int reader = 0;
};
