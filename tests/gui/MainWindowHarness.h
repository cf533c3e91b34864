#pragma once
// Shared set-up of the main-window tests: a fresh in-process reader simulator on a socket in a
// temporary directory, NORVEX_SIMULATOR pointing at it, and the main window with its alerts
// recorded instead of shown. Scan ticks are driven directly, not by waiting for the timer.

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
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

inline QString UidText(const Bytes& uid) {
  return QString::fromLatin1(ToQBytes(uid).toHex().toUpper());
}

class MainWindowHarness {
 public:
  MainWindowHarness() {
    sim = std::make_unique<norvexsim::Simulator>(
        directory.filePath(QStringLiteral("bus")).toStdString());
    qputenv("NORVEX_SIMULATOR", QByteArray::fromStdString(sim->socketPath()));
    window = std::make_unique<mainWndController>();
    window->SetAlertHandler([this](const QString& title, const QString& text) {
      alerts.push_back({title, text});
    });
  }

  ~MainWindowHarness() {
    window.reset();
    sim.reset();
    qunsetenv("NORVEX_SIMULATOR");
  }

  MainWindowHarness(const MainWindowHarness&) = delete;
  MainWindowHarness& operator=(const MainWindowHarness&) = delete;

  mainWndController& Window() { return *window; }
  QVMifareObj& Obj() { return window->MifareObj(); }
  QVTreeDataSource& Tree() { return window->TreeDataSource(); }

  template <typename T>
  T* Child(const char* name) {
    return window->findChild<T*>(QLatin1String(name));
  }

  QString Status() { return Child<QGroupBox>("infoOper")->title(); }
  QVHexTextView* DataView() { return Child<QVHexTextView>("dataView"); }
  QVHexTextView* SectorView() { return Child<QVHexTextView>("sectorData"); }
  QTimer* ScanTimer() { return window->findChild<QTimer*>(QStringLiteral("aTimerScansione")); }

  // Places a card in the field and runs scan ticks until it is registered.
  Bytes PlaceAndRegister(const std::string& spec) {
    const Bytes uid = sim->placeCard(reader, spec);
    const int wanted = Obj().NumberOfRegisteredCards() + 1;
    for (int tick = 0; tick < 20 && Obj().NumberOfRegisteredCards() < wanted; ++tick) {
      window->scansioneRF();
    }
    uids.push_back(uid);
    return uid;
  }

  // A reader (TR10) and a running scan.
  bool StartScanning() {
    reader = sim->addReader(0x0110);
    window->startScan();
    return window->IsScanning();
  }

  // Selects the tree row of the registered card at `index` (a property row when `child` >= 0).
  bool SelectCard(int index, int child = -1) {
    QModelIndex row = Tree().index(index, 0);
    if (child >= 0) row = Tree().index(child, 1, row);
    if (!row.isValid()) return false;
    Child<QTreeView>("treeCard")
        ->selectionModel()
        ->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return window->SelectedCard() != nullptr;
  }

  void ChooseKey(const char* group, int id) {
    Child<QButtonGroup>(group)->button(id)->setChecked(true);
  }

  Bytes Memory(int card = 0) const {
    return sim->cardMemory(reader, uids.at(static_cast<std::size_t>(card)));
  }

  // Data bytes (trailers left out) of the sectors of a card's memory, in sector order.
  QByteArray DataImage(int card, int sectors) const {
    const Bytes memory = Memory(card);
    QByteArray image;
    for (int s = 0; s < sectors; ++s) {
      const auto first = memory.begin() + 16 * FirstBlock(s);
      image += ToQBytes(Bytes(first, first + 16 * DataBlocks(s)));
    }
    return image;
  }

  // Fills the data blocks of every sector but the manufacturer block with a pattern.
  void FillDataBlocks(int card, int sectors) {
    Bytes memory = Memory(card);
    for (int s = 0; s < sectors; ++s) {
      for (int b = 0; b < DataBlocks(s); ++b) {
        const int block = FirstBlock(s) + b;
        if (block == 0) continue;
        for (int i = 0; i < 16; ++i)
          memory[static_cast<std::size_t>(16 * block + i)] = static_cast<uint8_t>(block * 7 + i);
      }
    }
    sim->setCardMemory(reader, uids.at(static_cast<std::size_t>(card)), memory);
  }

  // Changes key A of a sector's trailer on the card, so that the record's key A no longer fits.
  void ChangeTrailerKeyA(int card, int sector) {
    Bytes memory = Memory(card);
    const int trailer = FirstBlock(sector) + DataBlocks(sector);
    for (int i = 0; i < 6; ++i) memory[static_cast<std::size_t>(16 * trailer + i)] = 0x11;
    sim->setCardMemory(reader, uids.at(static_cast<std::size_t>(card)), memory);
  }

  // Access bytes 6 to 9 of every sector trailer of a card.
  void SetAllAccessBytes(int card, int sectors, const Bytes& access) {
    Bytes memory = Memory(card);
    for (int s = 0; s < sectors; ++s) {
      const int trailer = FirstBlock(s) + DataBlocks(s);
      std::copy(access.begin(), access.end(), memory.begin() + 16 * trailer + 6);
    }
    sim->setCardMemory(reader, uids.at(static_cast<std::size_t>(card)), memory);
  }

  Bytes TrailerBytes(int card, int sector) const {
    const Bytes memory = Memory(card);
    const auto first = memory.begin() + 16 * (FirstBlock(sector) + DataBlocks(sector));
    return Bytes(first, first + 16);
  }

  QTemporaryDir directory;
  std::unique_ptr<norvexsim::Simulator> sim;
  std::unique_ptr<mainWndController> window;
  std::vector<RecordedAlert> alerts;
  std::vector<Bytes> uids;
  int reader = 0;
};
