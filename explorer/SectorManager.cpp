// SPDX-License-Identifier: MIT
#include "SectorManager.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "CardView.h"
#include "ClassicTexts.h"
#include "MifareGeometry.h"
#include "QVHexTextView.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "WidgetHelpers.h"

using namespace widgets;

SectorManager::SectorManager(CardViewHost& viewHost, SectorRead onRead, QWidget* parent)
    : QDialog(parent), host(viewHost), sectorRead(std::move(onRead)) {
  Build();
  accessBits = new AccessBitsDialog(*this, this);
}

void SectorManager::Build() {
  setObjectName(QStringLiteral("sectorpanel"));
  setWindowTitle(tr("Sector manager"));
  setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSpacing(kSpacing);

  auto* controls = new QHBoxLayout();
  controls->setSpacing(kSpacing);
  sectorsel = Named(new QComboBox(this), "sectorsel");
  controls->addWidget(new QLabel(tr("Sector"), this));
  controls->addWidget(sectorsel);
  controls->addSpacing(kSpacing);
  sectorKey = KeyChoice(this, controls, "sectorKey", QStringLiteral("sectorKey"));
  controls->addStretch();
  controls->addWidget(BuildSegmentedControl());
  layout->addLayout(controls);

  sectorData = Named(new QVHexTextView(this), "sectorData");
  sectorData->setLineLabels([](int) { return QString(); });
  sectorData->setMinimumWidth(TextViewWidth(sectorData, editor::kHexLineChars) +
                              sectorData->gutterWidth());
  sectorData->setMinimumHeight(sectorData->fontMetrics().lineSpacing() * 16);
  layout->addWidget(sectorData, 1);

  auto* buttons = new QDialogButtonBox(this);
  auto* access = Named(buttons->addButton(tr("Access bits\u2026"), QDialogButtonBox::ActionRole),
                       "showAccessBitDialog");
  auto* close = Named(buttons->addButton(QDialogButtonBox::Close), "btnCloseSector");
  connect(access, &QPushButton::clicked, this, &SectorManager::ShowAccessBits);
  connect(close, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
  layout->addWidget(buttons);
  // Another sector chosen: the view no longer shows it, and Write waits for a read.
  connect(sectorsel, &QComboBox::currentIndexChanged, this, [this] { ForgetView(); });
}

QWidget* SectorManager::BuildSegmentedControl() {
  auto* segments = new QWidget(this);
  auto* row = new QHBoxLayout(segments);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  operations = Named(new QButtonGroup(segments), "sectoroperation");
  operations->setExclusive(true);
  const QStringList captions{tr("Read"), tr("Write"), tr("Clear")};
  const QStringList names{QStringLiteral("sectorRead"), QStringLiteral("sectorWrite"),
                          QStringLiteral("sectorClear")};
  for (int id = 0; id < captions.size(); ++id) {
    auto* segment = new QToolButton(segments);
    segment->setObjectName(names[id]);
    segment->setText(captions[id]);
    segment->setCheckable(true);
    segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
    segment->setMinimumWidth(64);
    operations->addButton(segment, id);
    row->addWidget(segment);
  }
  operations->button(kRead)->setChecked(true);
  connect(operations, &QButtonGroup::idClicked, this, &SectorManager::RunOperation);
  return segments;
}

void SectorManager::SetCard(const std::shared_ptr<QVMifareCard>& selected) {
  card = selected;
  if (!card || card->Uid() != viewUid) ForgetView();
  setWindowTitle(card ? tr("Sector manager - card %1").arg(card->Uid()) : tr("Sector manager"));
  if (card) FillSectorList(card->GetCardInfo()->SectorsCount);
}

void SectorManager::FillSectorList(int sectors) {
  if (sectorsel->count() == sectors) return;
  const int chosen = sectorsel->currentIndex();
  sectorsel->clear();
  for (int sector = 0; sector < sectors; ++sector) sectorsel->addItem(classic_text::Sector(sector));
  sectorsel->setCurrentIndex(std::clamp(chosen, 0, std::max(0, sectors - 1)));
}

void SectorManager::Open() {
  if (!card) return;
  if (card->Uid() != viewUid) ForgetView();
  open();
}

int SectorManager::SelectedSector() const {
  return sectorsel->currentText().toInt();
}

QVMifareObj& SectorManager::MifareObj() {
  return host.MifareObj();
}

bool SectorManager::ReselectCard(const QVMifareCard& selected) {
  return host.MifareObj().ReselectCard(selected);
}

void SectorManager::ResetCardTree() {
  host.RefreshCardTree();
}

void SectorManager::Alert(const QString& title, const QString& text) {
  host.Alert(title, text);
}

void SectorManager::ForgetView() {
  viewUid.clear();
  viewSector = -1;
  sectorData->showNothing();
  sectorData->setLineLabels([](int) { return QString(); });
  operations->button(kWrite)->setEnabled(false);
}

void SectorManager::RunOperation() {
  switch (operations->checkedId()) {
    case kRead:
      ReadSector();
      break;
    case kWrite:
      WriteSector();
      ReadSector();
      break;
    case kClear:
      if (!card || !host.Confirm(tr("Clear sector"),
                                 tr("Clear sector %1 of card %2? Its %3 data bytes become 00.")
                                     .arg(classic_text::Sector(SelectedSector()), card->Uid())
                                     .arg(mifare_geometry::SectorDataSize(SelectedSector()))))
        return;
      ClearSector();
      ReadSector();
      break;
    default:
      break;
  }
}

void SectorManager::RunSectorCall(
    const QString& status,
    const std::function<void(QVMifareCard&, int keyNum, int sector)>& operation) {
  if (!card) return;
  const std::shared_ptr<QVMifareCard> selected = card;
  const int sector = SelectedSector();
  const int keyNum = sectorKey->checkedId() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B;
  if (!host.RunCardCall(*selected, status, [&] { operation(*selected, keyNum, sector); }))
    ForgetView();
}

void SectorManager::ReadSector() {
  RunSectorCall(tr("Reading data ..."), [this](QVMifareCard& selected, int keyNum, int sector) {
    QByteArray bytesRead;
    int numBytes = 0;
    QVMifareObj& obj = host.MifareObj();
    const int status = obj.ReadSector(selected, sector, keyNum, bytesRead, numBytes);
    if (status != 0) {
      host.Alert(QStringLiteral("Error"),
                 classic_text::Failure(
                     "read", tr("Sector %1, %2: %3")
                                 .arg(classic_text::Sector(sector), classic_text::KeyName(keyNum),
                                      classic_text::FailureText(obj, status))));
      return;
    }
    // Only the sector's own bytes are data; the rest of the view shows "--".
    editor::KnownBytes known;
    for (int i = 0; i < numBytes; ++i) known.set(static_cast<std::size_t>(i));
    sectorData->showImage(bytesRead.left(numBytes), known);
    sectorData->setLineLabels([sector](int line) {
      return classic_text::BlockLabel(line * editor::kBytesPerLine, sector + 1, sector);
    });
    viewUid = selected.Uid();
    viewSector = sector;
    // The whole-card image learns what the sector holds now (after a write, say), so that Write
    // all never puts its older bytes back.
    if (sectorRead) sectorRead(selected, sector, bytesRead.left(numBytes));
    operations->button(kWrite)->setEnabled(true);
  });
}

void SectorManager::WriteSector() {
  // The view must hold the chosen sector of the selected card, as read from it.
  if (!card || card->Uid() != viewUid || SelectedSector() != viewSector) {
    host.Alert(QStringLiteral("Error"),
               tr("Read sector %1 before writing it.").arg(classic_text::Sector(SelectedSector())));
    return;
  }
  WriteSectorData(tr("Writing data ..."), "written", [this](int sector) {
    return sectorData->getBufferData().left(mifare_geometry::SectorDataSize(sector));
  });
}

void SectorManager::ClearSector() {
  WriteSectorData(tr("Clear data ..."), "cleared", [](int sector) {
    return QByteArray(mifare_geometry::SectorDataSize(sector), '\0');
  });
}

void SectorManager::WriteSectorData(const QString& status, const char* verb,
                                    const std::function<QByteArray(int sector)>& sectorBytes) {
  RunSectorCall(status, [&](QVMifareCard& selected, int keyNum, int sector) {
    QVMifareObj& obj = host.MifareObj();
    const int result = obj.WriteSector(selected, sector, keyNum, sectorBytes(sector));
    if (result != 0)
      host.Alert(QStringLiteral("Error"),
                 classic_text::Failure(verb, classic_text::FailureText(obj, result)));
  });
}

void SectorManager::ShowAccessBits() {
  if (!card) return;
  // The dialog is modal and runs inside a card call: no scan tick runs while it is open.
  const std::shared_ptr<QVMifareCard> selected = card;
  const int sector = SelectedSector();
  const auto keyType =
      static_cast<uint8_t>(sectorKey->checkedId() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B);
  host.RunCardCall(*selected, tr("Access bits ..."), [&] {
    accessBits->Load(*selected, sector, keyType);
    accessBits->exec();
  });
}
