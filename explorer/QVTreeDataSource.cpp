#include "QVTreeDataSource.h"

#include <QBrush>

#include "CardPropertyLines.h"
#include "QVMifareCard.h"

QVTreeDataSource::QVTreeDataSource(QObject* parent)
    : QAbstractItemModel(parent),
      root(std::make_unique<Node>()),
      idColor(QColor::fromRgbF(1.0f, 0.0f, 0.0f, 1.0f)),
      infoColor(QColor::fromRgbF(0.0f, 0.0f, 1.0f, 1.0f)) {}

QVTreeDataSource::~QVTreeDataSource() = default;

void QVTreeDataSource::resetData() {
  beginResetModel();
  root->RemoveAll();
  endResetModel();
}

void QVTreeDataSource::addData(const QString& title, const QStringList& path,
                               std::shared_ptr<QVMifareCard> card) {
  if (path.isEmpty()) return;
  auto cardNode = std::make_unique<Node>();
  cardNode->SetCard(card);
  cardNode->setValue({title, idColor}, kIdCardColumn);
  cardNode->setValue({path.first(), infoColor}, kInfoCardColumn);
  for (qsizetype i = 1; i < path.size(); ++i) {
    auto line = std::make_unique<Node>();
    line->SetCard(card);
    line->setValue({path[i], infoColor}, kInfoCardColumn);
    cardNode->addChild(std::move(line));
  }
  const int row = root->childrenCount();
  beginInsertRows(QModelIndex(), row, row);
  root->addChild(std::move(cardNode));
  endInsertRows();
}

bool QVTreeDataSource::HasDataChanged(const CardList& cards) const {
  return cards.size() != root->childrenCount();
}

bool QVTreeDataSource::RebuildFromCards(const CardList& cards) {
  if (!HasDataChanged(cards)) return false;
  resetData();
  for (const auto& card : cards) addData(card->Uid(), CardPropertyLines(*card), card);
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
    case Qt::ForegroundRole:
      return QBrush(value->foreground);
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
