// SPDX-License-Identifier: MIT
#include "QVTreeDataSource.h"

#include <QBrush>
#include <algorithm>
#include <cmath>

#include "CardPropertyLines.h"
#include "QVMifareCard.h"

QVTreeDataSource::QVTreeDataSource(QObject* parent)
    : QAbstractItemModel(parent),
      root(std::make_unique<Node>()),
      idColor(QColor::fromRgbF(1.0f, 0.0f, 0.0f, 1.0f)),
      infoColor(QColor::fromRgbF(0.0f, 0.0f, 1.0f, 1.0f)) {}

QVTreeDataSource::~QVTreeDataSource() = default;

void QVTreeDataSource::SetBackground(const QColor& base) {
  background = base;
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 1), {Qt::ForegroundRole});
}

double QVTreeDataSource::Contrast(const QColor& a, const QColor& b) {
  // WCAG contrast ratio of two colours' relative luminances.
  const auto luminance = [](const QColor& c) {
    const auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor QVTreeDataSource::Readable(const QColor& wanted, const QColor& base) {
  // The red of identifiers and the blue of properties stay, mixed towards white on a dark
  // background (towards black on a light one) until they read at 4.5:1 at least.
  const bool dark = base.lightnessF() < 0.5;
  const QColor target = dark ? QColor(Qt::white) : QColor(Qt::black);
  QColor colour = wanted;
  for (int step = 1; step <= 20 && Contrast(colour, base) < 4.5; ++step) {
    const double t = step / 20.0;
    colour = QColor::fromRgbF(
        static_cast<float>(wanted.redF() + (target.redF() - wanted.redF()) * t),
        static_cast<float>(wanted.greenF() + (target.greenF() - wanted.greenF()) * t),
        static_cast<float>(wanted.blueF() + (target.blueF() - wanted.blueF()) * t));
  }
  return colour;
}

void QVTreeDataSource::resetData() {
  beginResetModel();
  root->RemoveAll();
  shownInField.clear();
  endResetModel();
}

void QVTreeDataSource::addCard(std::shared_ptr<QVMifareCard> card) {
  const QList<CardProperty> properties = CardProperties(*card);
  auto cardNode = std::make_unique<Node>();
  cardNode->SetCard(card);
  cardNode->setValue({card->Uid(), idColor}, kIdCardColumn);
  const QString type = properties.first().value;
  cardNode->setValue({card->InField() ? type : tr("%1 - not in the field").arg(type), infoColor},
                     kInfoCardColumn);
  for (qsizetype i = 1; i < properties.size(); ++i) {
    auto line = std::make_unique<Node>();
    line->SetCard(card);
    line->setValue({properties[i].label, QColor()}, kIdCardColumn);
    line->setValue({properties[i].value, infoColor}, kInfoCardColumn);
    cardNode->addChild(std::move(line));
  }
  const int row = root->childrenCount();
  beginInsertRows(QModelIndex(), row, row);
  root->addChild(std::move(cardNode));
  shownInField.append(card->InField());
  endInsertRows();
}

bool QVTreeDataSource::HasDataChanged(const CardList& cards) const {
  if (cards.size() != root->childrenCount()) return true;
  for (qsizetype row = 0; row < cards.size(); ++row) {
    if (root->childAtIndex(static_cast<int>(row))->GetCard() != cards[row]) return true;
    if (shownInField.value(row) != cards[row]->InField()) return true;
  }
  return false;
}

bool QVTreeDataSource::RebuildFromCards(const CardList& cards) {
  if (!HasDataChanged(cards)) return false;
  resetData();
  for (const auto& card : cards) addCard(card);
  return true;
}

Node* QVTreeDataSource::nodeFromIndex(const QModelIndex& index) const {
  if (!index.isValid()) return root.get();
  return static_cast<Node*>(index.internalPointer());
}

QString QVTreeDataSource::columnIdentifier(int column) {
  switch (column) {
    case 0:
      return kIdCardColumn;
    case 1:
      return kInfoCardColumn;
    default:
      return {};
  }
}

QModelIndex QVTreeDataSource::index(int row, int column, const QModelIndex& parent) const {
  if (!hasIndex(row, column, parent)) return {};
  Node* child = nodeFromIndex(parent)->childAtIndex(row);
  return child != nullptr ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex QVTreeDataSource::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  Node* parentNode = nodeFromIndex(child)->parentNode();
  if (parentNode == nullptr || parentNode == root.get()) return {};
  return createIndex(parentNode->indexInParent(), 0, parentNode);
}

int QVTreeDataSource::rowCount(const QModelIndex& parent) const {
  // Only the first column carries children, as in any tree view.
  if (parent.column() > 0) return 0;
  return nodeFromIndex(parent)->childrenCount();
}

int QVTreeDataSource::columnCount(const QModelIndex&) const {
  return 2;
}

bool QVTreeDataSource::hasChildren(const QModelIndex& parent) const {
  if (parent.column() > 0) return false;
  return nodeFromIndex(parent)->expandable();
}

QVariant QVTreeDataSource::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const auto value = nodeFromIndex(index)->keyValue(columnIdentifier(index.column()));
  if (!value) return {};
  switch (role) {
    case Qt::DisplayRole:
      return value->text;
    case Qt::ToolTipRole:  // the whole text, should the column be narrower than it
      return value->text;
    case Qt::ForegroundRole:
      // A label keeps the view's own text colour.
      if (!value->foreground.isValid()) return {};
      return QBrush(Readable(value->foreground, background));
    default:
      return {};
  }
}

QVariant QVTreeDataSource::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case 0:
      return tr("Card");
    case 1:
      return tr("Information");
    default:
      return {};
  }
}
