// SPDX-License-Identifier: MIT
#include "CardImage.h"

#include <algorithm>
#include <utility>

#include "MifareGeometry.h"

using mifare_geometry::DataBlocks;
using mifare_geometry::FirstBlock;
using mifare_geometry::SectorDataSize;
using mifare_geometry::SectorOffset;

namespace {
constexpr int kBlockBytes = 16;
constexpr int kSlots = editor::kImageBytes / kBlockBytes;
}  // namespace

CardImage::CardImage(QString uidText, int sectorCount)
    : uid(std::move(uidText)),
      sectors(std::clamp(sectorCount, 0, 40)),
      card(editor::kImageBytes, '\0'),
      shown(editor::kImageBytes, '\0'),
      known(kSlots, false),
      pending(kSlots, false) {}

void CardImage::StoreRead(int sector, const QByteArray& data) {
  if (sector < 0 || sector >= sectors || data.size() < SectorDataSize(sector)) return;
  const int offset = SectorOffset(sector);
  earlier.erase(sector);
  for (int i = 0; i < SectorDataSize(sector); ++i) card[offset + i] = shown[offset + i] = data[i];
  for (int b = 0; b < DataBlocks(sector); ++b) {
    known[Slot(offset) + b] = true;
    pending[Slot(offset) + b] = false;
  }
}

void CardImage::RefreshRead(int sector, const QByteArray& data) {
  if (sector < 0 || sector >= sectors || data.size() < SectorDataSize(sector)) return;
  const int offset = SectorOffset(sector);
  earlier.erase(sector);
  for (int i = 0; i < SectorDataSize(sector); ++i) {
    const int at = offset + i;
    const bool edited = known[Slot(at)] && (pending[Slot(at)] || shown[at] != card[at]);
    if (!edited) shown[at] = data[i];
    card[at] = data[i];
  }
  for (int b = 0; b < DataBlocks(sector); ++b) {
    known[Slot(offset) + b] = true;
    pending[Slot(offset) + b] = false;
  }
}

bool CardImage::IsRead(int sector) const {
  if (sector < 0 || sector >= sectors) return false;
  const int first = Slot(SectorOffset(sector));
  for (int b = 0; b < DataBlocks(sector); ++b)
    if (!known[first + b] || pending[first + b]) return false;
  return true;
}

void CardImage::MarkEarlier(int sector) {
  if (IsRead(sector)) earlier.insert(sector);
}

bool CardImage::IsComplete() const {
  const int used = Slot(SectorOffset(sectors));
  return std::all_of(known.begin(), known.begin() + used, [](bool has) { return has; });
}

void CardImage::StoreLoaded(int block, const QByteArray& data) {
  const int offset = BlockOffset(block);
  // Block 0 of a dump names the dump's card, not this one; it is never written either.
  if (offset < 0 || block == 0 || data.size() != kBlockBytes) return;
  for (int i = 0; i < kBlockBytes; ++i) card[offset + i] = shown[offset + i] = data[i];
  known[Slot(offset)] = true;
  pending[Slot(offset)] = true;
}

void CardImage::SetOrigin(const QString& originUidText, const QString& file) {
  originUid = originUidText;
  originFile = file;
}

bool CardImage::HoldsForeignData() const {
  return originUid != uid && std::find(pending.begin(), pending.end(), true) != pending.end();
}

void CardImage::TakeEdits(const QByteArray& editorBytes) {
  const int end = std::min<int>(SectorOffset(sectors), editorBytes.size());
  for (int i = 0; i < end; ++i)
    if (known[Slot(i)]) shown[i] = editorBytes[i];
}

editor::KnownBytes CardImage::Known() const {
  editor::KnownBytes bits;
  for (int i = 0; i < SectorOffset(sectors); ++i) bits[i] = known[Slot(i)];
  return bits;
}

editor::KnownBytes CardImage::Pending() const {
  editor::KnownBytes bits;
  for (int i = 0; i < SectorOffset(sectors); ++i) bits[i] = pending[Slot(i)];
  return bits;
}

bool CardImage::HasBlock(int block) const {
  const int offset = BlockOffset(block);
  return offset >= 0 && known[Slot(offset)];
}

std::vector<int> CardImage::ChangedBlocks() const {
  std::vector<int> blocks;
  for (int sector = 0; sector < sectors; ++sector) {
    for (int b = 0; b < DataBlocks(sector); ++b) {
      const int block = FirstBlock(sector) + b;
      const int offset = SectorOffset(sector) + kBlockBytes * b;
      // Block 0 holds the UID and the manufacturer's data: never written.
      if (block == 0 || !known[Slot(offset)]) continue;
      if (pending[Slot(offset)] || shown.mid(offset, kBlockBytes) != card.mid(offset, kBlockBytes))
        blocks.push_back(block);
    }
  }
  return blocks;
}

QByteArray CardImage::BlockBytes(int block) const {
  const int offset = BlockOffset(block);
  return offset < 0 ? QByteArray() : shown.mid(offset, kBlockBytes);
}

void CardImage::MarkWritten(int block, const QByteArray& written) {
  const int offset = BlockOffset(block);
  if (offset < 0 || written.size() != kBlockBytes) return;
  for (int i = 0; i < kBlockBytes; ++i) card[offset + i] = written[i];
  pending[Slot(offset)] = false;
}

void CardImage::DiscardEdits() {
  for (int slot = 0; slot < kSlots; ++slot) {
    if (pending[slot]) known[slot] = pending[slot] = false;
  }
  shown = card;
}

int CardImage::BlockOffset(int block) const {
  for (int sector = 0; sector < sectors; ++sector) {
    const int index = block - FirstBlock(sector);
    if (index >= 0 && index < DataBlocks(sector)) return SectorOffset(sector) + kBlockBytes * index;
  }
  return -1;
}

void CardImage::SetOpeningKey(int sector, const OpeningKey& opening) {
  if (sector >= 0 && sector < sectors) openingKeys[sector] = opening;
}

std::optional<CardImage::OpeningKey> CardImage::OpeningKeyOf(int sector) const {
  const auto found = openingKeys.find(sector);
  if (found == openingKeys.end()) return std::nullopt;
  return found->second;
}
