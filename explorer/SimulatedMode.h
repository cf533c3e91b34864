// SPDX-License-Identifier: MIT
#pragma once
// Simulated mode (Orlith --simulate): an in-process reader simulator serving the virtual USB bus on
// a socket in a private temporary directory, with one virtual reader per reader model the explorer
// offers (TR10, TR20), each with a Mifare Classic 1K and a 4K card in its field. NORVEX_SIMULATOR
// points the library at that socket for as long as the object lives. A "Simulator" menu places and
// removes virtual cards while the program runs.

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Simulator.h"

class QMenu;
class QMenuBar;
class QWidget;

class SimulatedMode : public QObject {
  Q_OBJECT

 public:
  struct VirtualReader {
    QString model;       // reader model name, as the explorer lists it
    uint16_t productId;  // its USB product ID
    int index;           // the simulator's reader index
  };

  // Starts the simulator and places the cards. Throws std::runtime_error when it cannot serve.
  explicit SimulatedMode(QObject* parent = nullptr);
  ~SimulatedMode() override;

  norvexsim::Simulator& Simulator() { return *sim; }
  const std::vector<VirtualReader>& Readers() const { return readers; }
  // UIDs of the cards placed at start in a reader's field, in placing order (1K first).
  const std::vector<std::vector<uint8_t>>& InitialCards(int reader) const;

  // Card handling behind the menu; placing returns the new card's UID, empty on failure.
  std::vector<uint8_t> PlaceCard(int reader, const std::string& kind);
  bool RemoveCard(int reader, const std::vector<uint8_t>& uid);
  void RemoveAllCards(int reader);

  // Adds the "Simulator" menu; failures are reported in alerts over `window`.
  void InstallMenu(QMenuBar* bar, QWidget* window);

  // Writes a short readable text into the data blocks of sectors 0 and 1 of a Mifare Classic
  // card (block 0, the manufacturer block, stays as it is), a value block into block 8, and
  // gives sectors 2 and 3 a key A other than the transport key, so that they open with key B only.
  bool WriteDemoContent(int reader, const std::vector<uint8_t>& uid);

 private:
  QMenu* ReaderMenu(const VirtualReader& reader, QWidget* window);
  void FillRemoveMenu(QMenu* menu, int reader, QWidget* window);

  QTemporaryDir directory;
  std::unique_ptr<norvexsim::Simulator> sim;
  std::vector<VirtualReader> readers;
  std::vector<std::vector<std::vector<uint8_t>>> initialCards;
  QByteArray previousSocket;
  bool hadPreviousSocket = false;
};
