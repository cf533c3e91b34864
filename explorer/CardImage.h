// SPDX-License-Identifier: MIT
#pragma once
// The data image of one card, tied to that card's UID: the bytes as last read from (or written
// to) the card, the bytes the editor holds now, and which data blocks hold data at all. Only
// blocks with data can be edited and written, and only the blocks that differ from what the card
// holds are written back: bytes never read are never written, and neither is block 0.
//
// Blocks can also come from a dump file. The card's own bytes are then unknown, so such a block
// is written (when asked) whatever it holds; the image remembers the card the dump came from.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
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
  // A sector read before but not by the latest Read all (cancelled, or the sector failed): its
  // bytes are from an earlier read, not known to be the card's now. A read of it clears the mark.
  void MarkEarlier(int sector);
  bool IsEarlier(int sector) const { return earlier.count(sector) != 0; }
  int EarlierSectors() const { return static_cast<int>(earlier.size()); }
  // Every data block of the card holds data (read or loaded).
  bool IsComplete() const;
  // The sector read again (after a write by other means): the card's bytes are updated, and so is
  // the editor's, except for bytes edited (or loaded) and not yet written, which stay edits.
  void RefreshRead(int sector, const QByteArray& data);
  // A data block from a dump (card block number, 16 bytes): the editor's, not known on the card.
  // Block 0 is left out.
  void StoreLoaded(int block, const QByteArray& data);
  // Where the loaded blocks came from: the UID of the dump's card ("" when the dump has none) and
  // the file's name.
  void SetOrigin(const QString& originUid, const QString& file);
  const QString& OriginUid() const { return originUid; }
  const QString& OriginFile() const { return originFile; }
  // Whether loaded blocks of another card (or of an unknown one) are waiting to be written.
  bool HoldsForeignData() const;

  // The editor's bytes (the whole 3456-byte editor image); only blocks with data are taken.
  void TakeEdits(const QByteArray& editorBytes);
  const QByteArray& Shown() const { return shown; }
  const QByteArray& CardBytes() const { return card; }
  editor::KnownBytes Known() const;
  // The bytes of loaded blocks: not on the card as far as the image knows.
  editor::KnownBytes Pending() const;
  // Whether the data block of the card block number holds data (read or loaded).
  bool HasBlock(int block) const;

  // Data blocks (card block numbers) to write: edited since read, or loaded; block 0 never.
  std::vector<int> ChangedBlocks() const;
  // Bytes of a block as the editor holds them (16 bytes).
  QByteArray BlockBytes(int block) const;
  // The block now holds `written` (16 bytes) on the card. Bytes the editor holds otherwise (an
  // edit made while the block was written) stay edits.
  void MarkWritten(int block, const QByteArray& written);
  // Back to the bytes as read; loaded blocks are dropped.
  void DiscardEdits();

  // The key that opened a sector when it was last read whole: its type (MIF_KEY_TYPE_A or _B)
  // and its bytes. Shown in the key manager and saved with the dump.
  struct OpeningKey {
    int keyNum = 0;
    std::array<uint8_t, 6> key{};
  };
  void SetOpeningKey(int sector, const OpeningKey& opening);
  std::optional<OpeningKey> OpeningKeyOf(int sector) const;

 private:
  // Image offset of a card block; -1 for a trailer or a block outside the card.
  int BlockOffset(int block) const;
  // Index of the data block at image offset `offset`.
  static int Slot(int offset) { return offset / 16; }

  QString uid;
  int sectors = 0;
  QByteArray card;            // as read from / written to the card
  QByteArray shown;           // as in the editor
  std::vector<bool> known;    // per data block: holds data
  std::vector<bool> pending;  // per data block: loaded, not known to be on the card
  QString originUid;
  QString originFile;
  std::map<int, OpeningKey> openingKeys;
  std::set<int> earlier;
};
