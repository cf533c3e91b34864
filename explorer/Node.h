// SPDX-License-Identifier: MIT
#pragma once
// One row of the card tree: its values by column identifier, its child rows and the card it
// belongs to. A node owns its children; the card is shared with the registered-cards list.

#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "AttributedText.h"
#include "QVMifareCard.h"

class Node {
 public:
  Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  void SetCard(std::shared_ptr<QVMifareCard> card) { aCard = std::move(card); }
  const std::shared_ptr<QVMifareCard>& GetCard() const { return aCard; }

  void setValue(const AttributedText& value, const QString& key) { data.insert(key, value); }
  // The value stored for a column, or nothing when the row has none.
  std::optional<AttributedText> keyValue(const QString& key) const;

  // Appends a child row and returns it (the node keeps ownership).
  Node* addChild(std::unique_ptr<Node> child);
  // The child at a position, or null when there is none.
  Node* childAtIndex(int index) const;
  int childrenCount() const { return static_cast<int>(children.size()); }
  bool expandable() const { return !children.empty(); }

  // Drops every child and every value; the card reference stays.
  void RemoveAll();

  // The row this one hangs under (null on the root) and its position there.
  Node* parentNode() const { return parent; }
  int indexInParent() const;

 private:
  std::vector<std::unique_ptr<Node>> children;
  QHash<QString, AttributedText> data;
  std::shared_ptr<QVMifareCard> aCard;
  Node* parent = nullptr;
};
