// SPDX-License-Identifier: MIT
#pragma once
// The card tree's model: a plain tree of Node rows behind a two-column QAbstractItemModel. Each
// registered card is one top-level row (its UID in red in the "idcard" column, its type in blue in
// the "infocard" column, and "not in the field" after it while the card is gone) with one child
// row per further property: its label in the first column, its value in blue in the second.

#include <QAbstractItemModel>
#include <QColor>
#include <QList>
#include <memory>

#include "Node.h"

class QVMifareCard;

class QVTreeDataSource : public QAbstractItemModel {
  Q_OBJECT

 public:
  using CardList = QList<std::shared_ptr<QVMifareCard>>;

  // Column identifiers, in column order.
  static inline const QString kIdCardColumn = QStringLiteral("idcard");
  static inline const QString kInfoCardColumn = QStringLiteral("infocard");

  explicit QVTreeDataSource(QObject* parent = nullptr);
  ~QVTreeDataSource() override;

  Node* rootNode() const { return root.get(); }
  Node* childNodeAtIndex(int index) const { return root->childAtIndex(index); }

  // Empties the tree.
  void resetData();

  // Adds the row of a card with its property rows.
  void addCard(std::shared_ptr<QVMifareCard> card);

  // True when the cards or their presence in the field differ from the card rows.
  bool HasDataChanged(const CardList& cards) const;

  // Rebuilds the tree from the registered cards when they changed; tells whether it did.
  bool RebuildFromCards(const CardList& cards);

  // The row behind a model index (the root for an invalid index) and the index of a row.
  Node* nodeFromIndex(const QModelIndex& index) const;

  // The column identifier of a column number ("idcard", "infocard"), empty for any other.
  static QString columnIdentifier(int column);

  QColor idCardColor() const { return idColor; }
  QColor infoCardColor() const { return infoColor; }
  // The view's background: the two colours are shown adjusted to read well on it.
  void SetBackground(const QColor& base);
  // `wanted`, moved towards white or black until it has 4.5:1 contrast on `base`.
  static QColor Readable(const QColor& wanted, const QColor& base);
  static double Contrast(const QColor& a, const QColor& b);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::unique_ptr<Node> root;
  QList<bool> shownInField;  // per card row: whether it was in the field when added
  QColor idColor;
  QColor infoColor;
  QColor background = Qt::white;
};
