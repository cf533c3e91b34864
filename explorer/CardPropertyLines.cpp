// SPDX-License-Identifier: MIT
#include "CardPropertyLines.h"

#include <QObject>

#include "QVMifareCard.h"

QList<CardProperty> CardProperties(const QVMifareCard& card) {
  const _tag_card_data& info = *card.GetCardInfo();
  QList<CardProperty> properties{
      {QObject::tr("Type"), card.CardType()},
      {QObject::tr("ISO 14443-4"),
       info.HasPart4 != 0 ? QObject::tr("supported") : QObject::tr("not supported")}};
  if (!card.IsClassic()) return properties;
  properties << CardProperty{QObject::tr("Blocks"), QString::number(info.BlocksCount)}
             << CardProperty{QObject::tr("Sectors"), QString::number(info.SectorsCount)}
             << CardProperty{QObject::tr("Key A"), card.GetKeyA()}
             << CardProperty{QObject::tr("Key B"), card.GetKeyB()};
  return properties;
}
