// SPDX-License-Identifier: MIT
#include "KeyManager.h"

#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "CardView.h"
#include "ClassicTexts.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "WidgetHelpers.h"
#include "dump/DumpFile.h"
#include "dump/Hex.h"
#include "dump/KeyFile.h"

using namespace widgets;

namespace {
constexpr std::size_t kMaxKeyFileBytes = 4 << 20;
int KeyOfColumn(int column) {
  return column == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B;
}
}  // namespace

KeyManager::KeyManager(CardViewHost& viewHost, OpeningKeyOf opening, QWidget* parent)
    : QWidget(parent), host(viewHost), openingKeyOf(std::move(opening)) {
  setObjectName(QStringLiteral("drawerkeys"));
  Build();
  SetCard(nullptr);
  hide();
}

void KeyManager::Build() {
  auto* panelLayout = new QVBoxLayout(this);
  panelLayout->setContentsMargins(4, 0, 0, 0);

  title = Named(new QGroupBox(this), "infoKeysTitle");
  auto* form = new QFormLayout(title);
  form->setRowWrapPolicy(QFormLayout::WrapAllRows);
  currentKeyA = KeyField(title, "currentKeyA", false);
  currentKeyB = KeyField(title, "currentKeyB", false);
  newKeyA = KeyField(title, "newKeyA", true);
  newKeyB = KeyField(title, "newKeyB", true);
  // The card's keys serve every sector that has no key of its own in the table below.
  form->addRow(tr("Card key A (any sector)"), currentKeyA);
  form->addRow(tr("Card key B (any sector)"), currentKeyB);
  form->addRow(tr("New card key A"), newKeyA);
  form->addRow(tr("New card key B"), newKeyB);
  panelLayout->addWidget(title);

  auto* apply = Named(new QPushButton(tr("Apply"), this), "applyNewKeys");
  connect(apply, &QPushButton::clicked, this, &KeyManager::ApplyNewKeys);
  panelLayout->addWidget(apply, 0, Qt::AlignRight);

  // Each sector's own key A and key B, tried by every read and write of that sector.
  auto* perSector = new QLabel(tr("Keys of single sectors (grey: the card key). Double-click "
                                  "to change one; the card itself is not written."),
                               this);
  perSector->setWordWrap(true);
  panelLayout->addWidget(perSector);
  sectorKeys = Named(new QTableWidget(0, 2, this), "sectorKeys");
  sectorKeys->setHorizontalHeaderLabels({tr("Key A"), tr("Key B")});
  sectorKeys->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  sectorKeys->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  sectorKeys->verticalHeader()->setDefaultSectionSize(sectorKeys->fontMetrics().height() + 6);
  sectorKeys->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
  connect(sectorKeys, &QTableWidget::itemChanged, this, &KeyManager::SectorKeyEdited);
  panelLayout->addWidget(sectorKeys, 1);
  auto* keyFile = Named(new QPushButton(tr("Load key file\u2026"), this), "loadKeyFile");
  keyFile->setToolTip(tr("Try the file's keys on every sector and keep those that work"));
  connect(keyFile, &QPushButton::clicked, this, &KeyManager::LoadKeyFile);
  panelLayout->addWidget(keyFile, 0, Qt::AlignRight);
}

void KeyManager::SetCard(const std::shared_ptr<QVMifareCard>& selected) {
  card = selected;
  title->setTitle(card ? QStringLiteral("Data for card %1 - %2").arg(card->Uid(), card->CardType())
                       : QStringLiteral("No card selected"));
  currentKeyA->setText(card ? card->GetKeyA() : QString());
  currentKeyB->setText(card ? card->GetKeyB() : QString());
  Refresh();
}

void KeyManager::SetBusy(bool running) {
  busy = running;
  setEnabled(!running);
}

void KeyManager::Toggle() {
  newKeyA->clear();
  newKeyB->clear();
  setVisible(isHidden());
}

void KeyManager::Refresh() {
  const QSignalBlocker quiet(sectorKeys);
  const int sectors = card ? card->GetCardInfo()->SectorsCount : 0;
  sectorKeys->setRowCount(sectors);
  for (int sector = 0; sector < sectors; ++sector) {
    sectorKeys->setVerticalHeaderItem(sector, new QTableWidgetItem(classic_text::Sector(sector)));
    for (const int column : {0, 1}) {
      auto* item = new QTableWidgetItem();
      sectorKeys->setItem(sector, column, item);
      ShowSectorKey(*card, item);
    }
  }
}

QString KeyManager::SectorKeyText(const QVMifareCard& shown, int sector, int column) const {
  const auto own = host.MifareObj().SectorKey(shown.Uid(), sector, KeyOfColumn(column));
  if (!own) return column == 0 ? shown.GetKeyA() : shown.GetKeyB();
  return QString::fromStdString(norvex::hex::encode(*own));
}

void KeyManager::SectorKeyEdited(QTableWidgetItem* item) {
  if (!card || item == nullptr) return;
  const QString text = item->text().trimmed();
  const std::optional<std::vector<uint8_t>> bytes = norvex::hex::decode(text.toStdString());
  if (bytes && bytes->size() == 6) {
    std::array<uint8_t, 6> key{};
    std::copy(bytes->begin(), bytes->end(), key.begin());
    host.MifareObj().SetSectorKey(card->Uid(), item->row(), KeyOfColumn(item->column()), key);
    host.ShowMessage(tr("Key %1 of sector %2 changed.")
                         .arg(item->column() == 0 ? QLatin1Char('A') : QLatin1Char('B'))
                         .arg(classic_text::Sector(item->row())));
  } else {
    host.ShowMessage(tr("Key not changed: 12 hex digits needed."));
  }
  const QSignalBlocker quiet(sectorKeys);
  ShowSectorKey(*card, item);
}

void KeyManager::ShowSectorKey(const QVMifareCard& shown, QTableWidgetItem* item) {
  const int keyNum = KeyOfColumn(item->column());
  item->setText(SectorKeyText(shown, item->row(), item->column()));
  // A sector without a key of its own uses the card key: shown in grey.
  const bool own = host.MifareObj().SectorKey(shown.Uid(), item->row(), keyNum).has_value();
  item->setData(
      Qt::ForegroundRole,
      own ? QVariant() : QVariant(sectorKeys->palette().color(QPalette::PlaceholderText)));
  // The key that opened the sector in the last read is in bold.
  const auto opening = openingKeyOf ? openingKeyOf(shown.Uid(), item->row()) : std::nullopt;
  const bool opened = opening && opening->keyNum == keyNum;
  QFont font = sectorKeys->font();
  font.setBold(opened);
  item->setFont(font);
  item->setToolTip(opened ? tr("This key read the sector") : QString());
}

void KeyManager::ApplyNewKeys() {
  // The tree is rebuilt with the new key texts, which lets go of the card meanwhile: keep it.
  if (const std::shared_ptr<QVMifareCard> changed = card) {
    const bool keyAChanged = changed->setNewKeyA(newKeyA->text());
    const bool keyBChanged = changed->setNewKeyB(newKeyB->text());
    host.RefreshCardTree();
    currentKeyA->setText(changed->GetKeyA());
    currentKeyB->setText(changed->GetKeyB());
    QStringList notes;
    if (!newKeyA->text().isEmpty())
      notes << (keyAChanged ? tr("Key A changed.")
                            : tr("Key A not changed: 12 hex digits needed."));
    if (!newKeyB->text().isEmpty())
      notes << (keyBChanged ? tr("Key B changed.")
                            : tr("Key B not changed: 12 hex digits needed."));
    if (!notes.isEmpty()) host.ShowMessage(notes.join(QLatin1Char(' ')));
  }
  Toggle();
}

void KeyManager::LoadKeyFile() {
  if (!card || busy || !card->InField() || host.Session() == nullptr) return;
  const QString path = host.ChooseFile(false, tr("Load key file"),
                                       tr("Key files (*.keys *.dic *.txt);;All files (*)"));
  if (path.isEmpty()) return;
  const auto contents =
      norvex::dump::readWholeFile(QFile::encodeName(path).toStdString(), kMaxKeyFileBytes);
  if (!contents.value) {
    host.Alert(
        QStringLiteral("Error"),
        tr("The key file cannot be read.\n\n%1").arg(QString::fromStdString(contents.error)));
    return;
  }
  auto list = std::make_shared<norvex::dump::KeyList>(norvex::dump::parseKeyFile(*contents.value));
  QStringList report{tr("%1: %2 keys.").arg(QFileInfo(path).fileName()).arg(list->keys.size())};
  for (const std::string& warning : list->warnings)
    report << tr("Skipped %1").arg(QString::fromStdString(warning));
  // Per sector: the working key A and key B, and whether each came from the file.
  const std::shared_ptr<QVMifareCard> selected = card;
  const int sectors = selected->GetCardInfo()->SectorsCount;
  auto results = std::make_shared<std::vector<SectorKeySearch>>(static_cast<std::size_t>(sectors));
  host.RunCardJob(
      *selected, tr("Trying keys ..."), sectors,
      [this, selected, list, results](int sector) {
        SectorKeySearch& result = (*results)[static_cast<std::size_t>(sector)];
        for (const int type : {0, 1}) {
          const int keyNum = KeyOfColumn(type);
          result.own[type] = host.MifareObj().KeyFor(*selected, sector, keyNum);
          bool lost = false;
          result.found[type] =
              FindSectorKey(*selected, sector, keyNum, result.own[type], list->keys, lost);
          if (lost) return false;
        }
        return true;
      },
      [this, selected, results, report](int completed, bool) mutable {
        ReportKeySearch(*selected, *results, completed, report);
      });
}

std::optional<std::array<uint8_t, 6>> KeyManager::FindSectorKey(
    QVMifareCard& selected, int sector, int keyNum, const std::array<uint8_t, 6>& own,
    const std::vector<std::array<uint8_t, 6>>& keys, bool& lost) {
  std::vector<std::array<uint8_t, 6>> candidates{own};
  for (const auto& key : keys)
    if (key != own) candidates.push_back(key);
  QVMifareObj& obj = host.MifareObj();
  for (const auto& key : candidates) {
    if (obj.AuthSector(selected, sector, keyNum, key) == 0) return key;
    // A refused authentication leaves the card idle: select it again for the next key.
    if (!obj.ReselectCard(selected)) {
      lost = true;
      break;
    }
  }
  return std::nullopt;
}

void KeyManager::ReportKeySearch(QVMifareCard& selected,
                                 const std::vector<SectorKeySearch>& results, int completed,
                                 QStringList& report) {
  const int sectors = static_cast<int>(results.size());
  for (const int type : {0, 1}) {
    const int keyNum = KeyOfColumn(type);
    QStringList missing;
    int works = 0;
    int fromFile = 0;
    for (int sector = 0; sector < completed; ++sector) {
      const SectorKeySearch& result = results[static_cast<std::size_t>(sector)];
      if (!result.found[type]) {
        missing << classic_text::Sector(sector);
        continue;
      }
      ++works;
      if (*result.found[type] == result.own[type]) continue;
      ++fromFile;
      host.MifareObj().SetSectorKey(selected.Uid(), sector, keyNum, *result.found[type]);
    }
    report << tr("%1 works on %2 of %3 sectors (%4 from the file).")
                  .arg(type == 0 ? tr("Key A") : tr("Key B"))
                  .arg(works)
                  .arg(sectors)
                  .arg(fromFile);
    if (!missing.isEmpty()) report << tr("No working key: sectors %1.").arg(missing.join(", "));
  }
  if (completed < sectors)
    report << tr("Stopped at sector %1: the other sectors were not tried.")
                  .arg(classic_text::Sector(completed));
  Refresh();
  host.Alert(QStringLiteral("Information"), report.join(QLatin1Char('\n')));
}
