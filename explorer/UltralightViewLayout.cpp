// SPDX-License-Identifier: MIT
// The Ultralight / NTAG view's widgets and how a tag's pages are shown in them.
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "QVMifareCard.h"
#include "UltralightView.h"
#include "dump/Hex.h"
#include "norvexapi.h"

using norvex::dump::kType2PageSize;

namespace {

enum Column { kPageColumn, kDataColumn, kAsciiColumn, kRoleColumn, kColumns };

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QString PageNumber(unsigned page) {
  return QStringLiteral("%1").arg(page, 2, 16, QLatin1Char('0')).toUpper();
}

QString AsciiText(const uint8_t* bytes) {
  QString text;
  for (unsigned i = 0; i < kType2PageSize; ++i)
    text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? QChar(bytes[i]) : QChar('.');
  return text;
}

}  // namespace

void UltralightView::BuildLayout() {
  chipLabel = Named(new QLabel(this), "ulChip");
  protectionLabel = Named(new QLabel(this), "ulProtection");
  protectionLabel->setWordWrap(true);
  secretEdit = Named(new QLineEdit(this), "ulSecret");
  secretEdit->setPlaceholderText(tr("password (8 hex digits) or Ultralight C key (32)"));
  secretEdit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
  packEdit = Named(new QLineEdit(this), "ulPack");
  packEdit->setPlaceholderText(tr("PACK (4 hex digits, optional)"));
  packEdit->setMaximumWidth(180);
  authButton = Named(new QPushButton(tr("Authenticate"), this), "ulAuth");
  authLabel = Named(new QLabel(this), "ulAuthState");
  readButton = Named(new QPushButton(tr("Read all"), this), "ulReadAll");
  writeButton = Named(new QPushButton(tr("Write changed pages"), this), "ulWrite");
  pageTable = Named(new QTableWidget(0, kColumns, this), "ulPages");
  pageTable->setHorizontalHeaderLabels({tr("Page"), tr("Bytes"), tr("ASCII"), tr("Holds")});
  pageTable->verticalHeader()->hide();
  pageTable->setWordWrap(false);
  pageTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  pageTable->horizontalHeader()->setStretchLastSection(true);
  pageTable->setSelectionBehavior(QAbstractItemView::SelectItems);
  pageTable->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  QFont fixed(QStringLiteral("monospace"));
  fixed.setStyleHint(QFont::TypeWriter);
  pageTable->setFont(fixed);
  pageTable->verticalHeader()->setDefaultSectionSize(QFontMetrics(fixed).height() + 6);

  auto* auth = new QHBoxLayout;
  auth->addWidget(secretEdit, 1);
  auth->addWidget(packEdit);
  auth->addWidget(authButton);
  auth->addWidget(authLabel);
  auto* actions = new QHBoxLayout;
  actions->addWidget(readButton);
  actions->addWidget(writeButton);
  actions->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(chipLabel);
  layout->addWidget(protectionLabel);
  layout->addLayout(auth);
  layout->addLayout(actions);
  layout->addWidget(pageTable, 1);

  connect(authButton, &QPushButton::clicked, this, &UltralightView::Authenticate);
  connect(readButton, &QPushButton::clicked, this, &UltralightView::ReadAll);
  connect(writeButton, &QPushButton::clicked, this, &UltralightView::WriteChanged);
  connect(pageTable, &QTableWidget::itemChanged, this, &UltralightView::PageEdited);
  connect(pageTable, &QTableWidget::itemDoubleClicked, this, &UltralightView::PageDoubleClicked);
}

void UltralightView::Render() {
  const TagImage* image = Image();
  const bool identified = image != nullptr && image->identified;
  rendering = true;
  pageTable->setRowCount(identified ? static_cast<int>(image->Pages()) : 0);
  rendering = false;
  for (QWidget* control : {static_cast<QWidget*>(authButton), static_cast<QWidget*>(readButton),
                           static_cast<QWidget*>(writeButton), static_cast<QWidget*>(secretEdit),
                           static_cast<QWidget*>(packEdit)})
    control->setEnabled(!busy && image != nullptr);
  if (!identified) {
    chipLabel->setText(image ? tr("Read all tells the chip and reads its pages.") : QString());
    protectionLabel->clear();
    authLabel->clear();
    return;
  }
  const auto& chip = image->Chip();
  chipLabel->setText(tr("%1 (%2), %3 readable pages")
                         .arg(QString::fromLatin1(chip.name), image->chipBasis)
                         .arg(chip.readablePages));
  const auto protection = norvex::dump::type2Protection(chip, image->ReadBytes());
  QString text;
  if (protection) {
    text = tr("Pages %1-%2 protected against writes%3 by the %4.")
               .arg(PageNumber(protection->firstPage),
                    PageNumber(chip.tripleDes ? 0x2F : chip.configPage + 3),
                    protection->reads ? tr(" and reads") : QString(),
                    chip.tripleDes ? tr("3DES key") : tr("password"));
  } else if (chip.fastRead || chip.tripleDes) {
    text = image->refusedFrom ? QString() : tr("No page is protected.");
  } else {
    text = tr("This chip has no password.");
  }
  if (image->refusedFrom != 0)
    text += tr(" The tag refused to read pages from %1 on: authenticate to read them.")
                .arg(PageNumber(image->refusedFrom));
  protectionLabel->setText(text.trimmed());
  for (unsigned page = 0; page < image->Pages(); ++page) RenderRow(page);
}

void UltralightView::RenderRow(unsigned page) {
  const TagImage* image = Image();
  if (image == nullptr || page >= image->Pages()) return;
  const bool wasRendering = rendering;
  rendering = true;
  const uint8_t* bytes = &image->shown[page * kType2PageSize];
  const bool read = image->read[page];
  const bool locked = image->Locked(page);
  const auto role = norvex::dump::type2Role(image->Chip(), page);
  const bool editable = read && !locked && norvex::dump::type2Writable(role) && !busy;
  QString roleText = QString::fromStdString(norvex::dump::type2RoleName(image->Chip(), page));
  if (locked && role != norvex::dump::Type2Role::Uid)
    roleText = roleText.isEmpty() ? tr("locked") : roleText + tr(", locked");
  const QString cells[kColumns] = {
      PageNumber(page),
      read ? QString::fromStdString(norvex::hex::encode(bytes, kType2PageSize, " "))
           : QStringLiteral("-- -- -- --"),
      read ? AsciiText(bytes) : QString(), roleText};
  QFont font = pageTable->font();
  font.setBold(image->Edited(page));
  const int row = static_cast<int>(page);
  for (int column = 0; column < kColumns; ++column) {
    // Items are updated in place: this runs inside the edited item's own change signal.
    QTableWidgetItem* item = pageTable->item(row, column);
    if (item == nullptr) {
      item = new QTableWidgetItem;
      pageTable->setItem(row, column, item);
    }
    item->setText(cells[column]);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (column == kDataColumn && editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    item->setFont(font);
    if (!read || locked) {
      item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    } else {
      item->setData(Qt::ForegroundRole, QVariant());
    }
  }
  rendering = wasRendering;
}
