// SPDX-License-Identifier: MIT
#include "Node.h"

std::optional<AttributedText> Node::keyValue(const QString& key) const {
  const auto it = data.constFind(key);
  if (it == data.constEnd()) return std::nullopt;
  return *it;
}

Node* Node::addChild(std::unique_ptr<Node> child) {
  child->parent = this;
  children.push_back(std::move(child));
  return children.back().get();
}

Node* Node::childAtIndex(int index) const {
  if (index < 0 || index >= childrenCount()) return nullptr;
  return children[static_cast<std::size_t>(index)].get();
}

void Node::RemoveAll() {
  children.clear();
  data.clear();
}

int Node::indexInParent() const {
  if (parent == nullptr) return 0;
  for (int i = 0; i < parent->childrenCount(); ++i) {
    if (parent->childAtIndex(i) == this) return i;
  }
  return 0;
}
