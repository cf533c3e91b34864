// SPDX-License-Identifier: MIT
#pragma once
// The properties of a card the card tree lists: its type (on the card's own row), then one
// labelled row each for ISO 14443-4 support and, on a Mifare Classic, its blocks, sectors and the
// card keys the explorer authenticates with.

#include <QList>
#include <QString>

class QVMifareCard;

struct CardProperty {
  QString label;
  QString value;
  bool operator==(const CardProperty&) const = default;
};

QList<CardProperty> CardProperties(const QVMifareCard& card);
