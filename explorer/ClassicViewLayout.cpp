// SPDX-License-Identifier: MIT
// ClassicView: the widgets. The whole-card editor box (hex with block labels, ASCII, offset, key
// choice and the card buttons) beside the key manager panel; the sector manager is a sheet.

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "ClassicView.h"
#include "KeyManager.h"
#include "QVAsciiView.h"
#include "QVHexTextView.h"
#include "SectorManager.h"
#include "WidgetHelpers.h"

using namespace widgets;

void ClassicView::Build() {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(kSpacing);
  layout->addWidget(BuildEditorBox(), 1);
  keys = new KeyManager(
      host,
      [this](const QString& uid, int sector) -> std::optional<CardImage::OpeningKey> {
        const auto image = images.find(uid);
        return image == images.end() ? std::nullopt : image->second.OpeningKeyOf(sector);
      },
      this);
  layout->addWidget(keys);
  sectors = new SectorManager(
      host,
      [this](const QVMifareCard& read, int sector, const QByteArray& bytes) {
        TakeSectorRead(read, sector, bytes);
      },
      this);
}

QWidget* ClassicView::BuildEditorBox() {
  infoCard = Named(new QGroupBox(this), "infoCard");
  auto* layout = new QVBoxLayout(infoCard);
  layout->setSpacing(kSpacing);

  auto* views = new QHBoxLayout();
  views->setSpacing(4);
  dataView = Named(new QVHexTextView(infoCard), "dataView");
  textDataView = Named(new QVAsciiView(infoCard), "textDataView");
  dataView->setAsciiView(textDataView);
  dataView->setLineLabels([](int) { return QString(); });  // the gutter takes its room now
  // Squeezed (a 1024-pixel screen with the key panel open) the hex side scrolls sideways.
  dataView->setMinimumWidth(TextViewWidth(dataView, editor::kHexLineChars / 2) +
                            dataView->gutterWidth());
  textDataView->setFixedWidth(TextViewWidth(textDataView, editor::kBytesPerLine + 1));
  views->addWidget(dataView, 1);
  views->addWidget(textDataView);
  layout->addLayout(views, 1);

  auto* actions = new QHBoxLayout();
  actions->setSpacing(kSpacing);
  auto* offset = Named(new QLineEdit(infoCard), "offsetposition");
  offset->setReadOnly(true);
  offset->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  offset->setFixedWidth(offset->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
  dataView->setOffsetField(offset);
  actions->addWidget(new QLabel(tr("Offset"), infoCard));
  actions->addWidget(offset);
  actions->addSpacing(2 * kSpacing);
  keyAorB = KeyChoice(infoCard, actions, "keyAorB", QStringLiteral("key"));
  actions->addStretch();
  layout->addLayout(actions);
  actions = new QHBoxLayout();  // the buttons on a row of their own: the box stays narrow
  actions->setSpacing(kSpacing);
  actions->addStretch();
  readAllBtn = Named(new QPushButton(tr("Read all"), infoCard), "readAllBtn");
  writeAllBtn = Named(new QPushButton(tr("Write all"), infoCard), "writeAllBtn");
  sectMngBtn = Named(new QPushButton(tr("Sectors\u2026"), infoCard), "sectMngBtn");
  keyMngBtn = Named(new QPushButton(tr("Keys\u2026"), infoCard), "keyMngBtn");
  discardBtn = Named(new QPushButton(tr("Discard edits"), infoCard), "discardBtn");
  for (QPushButton* button : {discardBtn, readAllBtn, writeAllBtn, sectMngBtn, keyMngBtn})
    actions->addWidget(button);
  // The card actions on the keyboard (a disabled button ignores its key).
  const struct {
    QPushButton* button;
    QKeySequence keys;
  } shortcuts[] = {{readAllBtn, QKeySequence(Qt::CTRL | Qt::Key_R)},
                   {writeAllBtn, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
                   {sectMngBtn, QKeySequence(Qt::CTRL | Qt::Key_E)},
                   {keyMngBtn, QKeySequence(Qt::CTRL | Qt::Key_K)}};
  for (const auto& shortcut : shortcuts) {
    shortcut.button->setShortcut(shortcut.keys);
    shortcut.button->setToolTip(shortcut.keys.toString(QKeySequence::NativeText));
  }
  connect(readAllBtn, &QPushButton::clicked, this, &ClassicView::ReadAll);
  connect(writeAllBtn, &QPushButton::clicked, this, &ClassicView::WriteAll);
  connect(sectMngBtn, &QPushButton::clicked, this, &ClassicView::OpenSectors);
  connect(keyMngBtn, &QPushButton::clicked, this, &ClassicView::ToggleKeys);
  connect(discardBtn, &QPushButton::clicked, this, &ClassicView::DiscardEdits);
  connect(dataView, &QVHexTextView::bytesEdited, this, &ClassicView::UpdateEditorState);
  connect(dataView, &QVHexTextView::pasteRefused, this,
          [this](const QString& why) { host.ShowMessage(why); });
  dataView->setWholeImageGuard([this](char digit) {
    return host.Confirm(tr("Set all bytes"),
                        tr("No bytes are selected: set every data byte of card %1 to %2?")
                            .arg(shownUid, QString(2, QLatin1Char(digit))));
  });
  layout->addLayout(actions);
  return infoCard;
}

void ClassicView::resizeEvent(QResizeEvent* event) {
  CardView::resizeEvent(event);
  FitColumns();
}

void ClassicView::FitColumns() {
  constexpr int kKeysMin = 200;
  constexpr int kKeysMax = 300;
  const QMargins inner = infoCard->layout()->contentsMargins();
  const int box = infoCard->width() - infoCard->contentsRect().width() + inner.left() +
                  inner.right() + kSpacing;
  const int hex = TextViewWidth(dataView, editor::kHexLineChars) + dataView->gutterWidth();
  const int ascii = textDataView->width() + 4;
  const int keysRoom = keys->isHidden() ? 0 : kKeysMin + kSpacing;
  textDataView->setVisible(width() - box - keysRoom >= hex + ascii);
  // The key panel takes what the editor leaves, within its bounds.
  const int left = width() - box - kSpacing - hex - (textDataView->isHidden() ? 0 : ascii);
  keys->setFixedWidth(std::clamp(left, kKeysMin, kKeysMax));
}

QUndoStack* ClassicView::UndoStack() const {
  return dataView->undoStack();
}
