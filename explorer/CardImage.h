// SPDX-License-Identifier: MIT
#pragma once
// The data image of one card, tied to that card's UID: the bytes as last read from (or written
// to) the card, the bytes the editor holds now, and which sectors hold card data at all. Only
// sectors read from the card can be edited and written, and only the blocks that differ from
// what was read are written back: bytes never read are never written.

#include <QByteArray>
#include <QString>
#include <vector>

#include "EditorLayout.h"

class CardImage {
 public:
  CardImage(QString uid, int sectors);

  const QString& Uid() const { return uid; }
  int Sectors() const { return sectors; }

  // A successful read of a sector: its data becomes both the card's and the editor's.
  void StoreRead(int sector, const QByteArray& data);
  bool IsRead(int sector) const;
  int ReadSectors() const;

  // The editor's bytes (the whole 3456-byte editor image); only read sectors are taken.
  void TakeEdits(const QByteArray& editorBytes);
  const QByteArray& Shown() const { return shown; }
  const QByteArray& CardBytes() const { return card; }
  editor::KnownBytes Known() const;

  // Data blocks (card block numbers) whose editor bytes differ from the card's, in card order.
  std::vector<int> ChangedBlocks() const;
  // Bytes of a changed block as the editor holds them (16 bytes).
  QByteArray BlockBytes(int block) const;
  // The block now holds on the card what the editor holds.
  void MarkWritten(int block);
  // Back to the bytes as read.
  void DiscardEdits();
  // Whether the editor byte at `offset` differs from what was read.
  bool IsEdited(int offset) const { return shown.at(offset) != card.at(offset); }

 private:
  // Image offset of a card block; -1 for a trailer or a block outside the card.
  int BlockOffset(int block) const;

  QString uid;
  int sectors = 0;
  QByteArray card;   // as read from / written to the card
  QByteArray shown;  // as in the editor
  std::vector<bool> read;
};
