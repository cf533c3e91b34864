// SPDX-License-Identifier: MIT
// AccessBitsDialog: the widgets. Two boxes, the conditions as read from the card and the
// conditions to be written, each with the three access bytes (hex and binary), the data-block and
// trailer rows with their C1, C2, C3 bits, and the keys.

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "AccessBitsDialog.h"

namespace {

QLineEdit* ReadOnlyField(QWidget* parent, const QString& name, int characters) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  field->setAlignment(Qt::AlignCenter);
  field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const int width =
      field->fontMetrics().horizontalAdvance(QString(characters + 2, QLatin1Char('0')));
  field->setFixedWidth(width + 12);
  return field;
}

// The bit boxes only display: the rows are chosen in the lists.
std::array<QCheckBox*, 3> BitBoxes(QWidget* parent, const QString& prefix) {
  std::array<QCheckBox*, 3> boxes{};
  for (int i = 0; i < 3; ++i) {
    auto* box = new QCheckBox(QStringLiteral("C%1").arg(i + 1), parent);
    box->setObjectName(prefix + QStringLiteral("C%1").arg(i + 1));
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    boxes[static_cast<std::size_t>(i)] = box;
  }
  return boxes;
}

QComboBox* AreaList(QWidget* parent, const QString& name, QString (*rowText)(int)) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  for (int row = 0; row < access_bits::kRows; ++row) list->addItem(rowText(row));
  list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return list;
}

QHBoxLayout* Row(const std::initializer_list<QWidget*>& widgets) {
  auto* row = new QHBoxLayout();
  row->setSpacing(6);
  for (QWidget* widget : widgets) row->addWidget(widget);
  row->addStretch();
  return row;
}

QLineEdit* KeyField(QWidget* parent, const QString& name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  field->setMaxLength(12);
  field->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,12}")), field));
  field->setPlaceholderText(QStringLiteral("12 hex digits"));
  field->setFixedWidth(field->fontMetrics().horizontalAdvance(QString(16, QLatin1Char('0'))) + 12);
  return field;
}

}  // namespace

void AccessBitsDialog::BuildLayout() {
  setObjectName(QStringLiteral("dlgaccessbit"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(12);
  layout->addWidget(BuildCurrentBox());
  layout->addWidget(BuildNewBox());

  auto* buttons = new QDialogButtonBox(this);
  auto* write = buttons->addButton(tr("Write trailer"), QDialogButtonBox::ActionRole);
  write->setObjectName(QStringLiteral("btnWriteACL"));
  auto* close = buttons->addButton(QDialogButtonBox::Close);
  close->setObjectName(QStringLiteral("btnCloseAccessBits"));
  connect(write, &QPushButton::clicked, this, &AccessBitsDialog::btnWriteACL);
  connect(close, &QPushButton::clicked, this, &AccessBitsDialog::btnCloseAccessBits);
  layout->addWidget(buttons);
}

QGridLayout* AccessBitsDialog::BuildConditionRows(QWidget* box, const QString& prefix,
                                                  ConditionFields& fields) {
  fields.dataArea = AreaList(box, prefix + QStringLiteral("DataArea"), access_bits::DataRowText);
  fields.trailerArea =
      AreaList(box, prefix + QStringLiteral("TrailerArea"), access_bits::TrailerRowText);
  fields.dataAreaC = BitBoxes(box, prefix + QStringLiteral("DataArea"));
  fields.trailerAreaC = BitBoxes(box, prefix + QStringLiteral("TrailerArea"));

  for (int i = 0; i < 3; ++i) {
    const auto at = static_cast<std::size_t>(i);
    fields.byte[at] = ReadOnlyField(box, prefix + QStringLiteral("Byte%1").arg(6 + i), 2);
    fields.byteBits[at] = ReadOnlyField(box, prefix + QStringLiteral("Byte%1Bits").arg(6 + i), 8);
  }
  fields.keyBNote = new QLabel(box);
  fields.keyBNote->setObjectName(prefix + QStringLiteral("KeyBNote"));
  fields.keyBNote->setWordWrap(true);
  auto* grid = new QGridLayout(box);
  grid->setHorizontalSpacing(10);
  grid->addWidget(fields.keyBNote, 5, 0, 1, 2);
  const auto& [c1, c2, c3] = fields.dataAreaC;
  const auto& [t1, t2, t3] = fields.trailerAreaC;
  grid->addWidget(new QLabel(tr("Bytes 6, 7, 8"), box), 0, 0);
  grid->addLayout(Row({fields.byte[0], fields.byte[1], fields.byte[2]}), 0, 1);
  grid->addWidget(new QLabel(tr("Bits"), box), 1, 0);
  grid->addLayout(Row({fields.byteBits[0], fields.byteBits[1], fields.byteBits[2]}), 1, 1);
  grid->addWidget(new QLabel(tr("Data blocks"), box), 2, 0);
  grid->addLayout(Row({fields.dataArea, c1, c2, c3}), 2, 1);
  grid->addWidget(new QLabel(tr("Sector trailer"), box), 3, 0);
  grid->addLayout(Row({fields.trailerArea, t1, t2, t3}), 3, 1);
  return grid;
}

QWidget* AccessBitsDialog::BuildCurrentBox() {
  auto* box = new QGroupBox(tr("As read from the card"), this);
  QGridLayout* grid = BuildConditionRows(box, QStringLiteral("ACLcurrent"), ACLcurrent);
  // The rows as read are shown, not chosen.
  ACLcurrent.dataArea->setEnabled(false);
  ACLcurrent.trailerArea->setEnabled(false);
  ACLcurrentKeyB = ReadOnlyField(box, QStringLiteral("ACLcurrentKeyB"), 18);
  grid->addWidget(new QLabel(tr("Key B"), box), 4, 0);
  grid->addLayout(Row({ACLcurrentKeyB}), 4, 1);
  return box;
}

QWidget* AccessBitsDialog::BuildNewBox() {
  auto* box = new QGroupBox(tr("To be written"), this);
  QGridLayout* grid = BuildConditionRows(box, QStringLiteral("ACLnew"), ACLnew);
  ACLnewKeyA = KeyField(box, QStringLiteral("ACLnewKeyA"));
  ACLnewKeyB = KeyField(box, QStringLiteral("ACLnewKeyB"));
  grid->addWidget(new QLabel(tr("Key A"), box), 4, 0);
  grid->addLayout(Row({ACLnewKeyA, new QLabel(tr("Key B"), box), ACLnewKeyB}), 4, 1);
  for (QComboBox* area : {ACLnew.dataArea, ACLnew.trailerArea})
    connect(area, &QComboBox::currentIndexChanged, this, &AccessBitsDialog::RefreshInfoForNewValue);
  return box;
}
