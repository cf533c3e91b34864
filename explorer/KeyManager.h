// SPDX-License-Identifier: MIT
#pragma once
// The key manager of the Mifare Classic view: a side panel with the selected card's key A and
// key B (used for every sector without a key of its own), new card keys, the table of per-sector
// keys (the key that opened a sector in the last Read all in bold) and Load key file, which tries
// a file's keys on every sector. New keys change only the explorer's records, never the card.

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "CardImage.h"

class CardViewHost;
class QGroupBox;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;
class QVMifareCard;

class KeyManager : public QWidget {
  Q_OBJECT

 public:
  // The key that opened a sector of a card in its last read, when known.
  using OpeningKeyOf =
      std::function<std::optional<CardImage::OpeningKey>(const QString& uid, int sector)>;

  KeyManager(CardViewHost& host, OpeningKeyOf openingKeyOf, QWidget* parent);

  // The card whose keys are shown (null: none).
  void SetCard(const std::shared_ptr<QVMifareCard>& card);
  // Shows the panel with empty new-key fields, or hides it.
  void Toggle();
  // The per-sector table again (after a read found other opening keys, say).
  void Refresh();
  void SetBusy(bool busy);

 private:
  void Build();
  void ApplyNewKeys();
  void LoadKeyFile();
  void SectorKeyEdited(QTableWidgetItem* item);
  void ShowSectorKey(const QVMifareCard& shown, QTableWidgetItem* item);
  QString SectorKeyText(const QVMifareCard& shown, int sector, int column) const;
  // Finds a working key of type `keyNum` for the sector: `own` (the sector's key) first, then
  // `keys`. `lost` tells that the card left the field.
  std::optional<std::array<uint8_t, 6>> FindSectorKey(
      QVMifareCard& selected, int sector, int keyNum, const std::array<uint8_t, 6>& own,
      const std::vector<std::array<uint8_t, 6>>& keys, bool& lost);
  // Key A ([0]) and key B ([1]) of one sector: the one it had and the one that works.
  struct SectorKeySearch {
    std::array<std::array<uint8_t, 6>, 2> own{};
    std::array<std::optional<std::array<uint8_t, 6>>, 2> found;
  };
  // The keys found become the sectors' own; the report says what worked.
  void ReportKeySearch(QVMifareCard& selected, const std::vector<SectorKeySearch>& results,
                       int completed, QStringList& report);

  CardViewHost& host;
  OpeningKeyOf openingKeyOf;
  std::shared_ptr<QVMifareCard> card;
  bool busy = false;
  QGroupBox* title = nullptr;
  QLineEdit* currentKeyA = nullptr;
  QLineEdit* currentKeyB = nullptr;
  QLineEdit* newKeyA = nullptr;
  QLineEdit* newKeyB = nullptr;
  QTableWidget* sectorKeys = nullptr;
};
