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
}  // namespace

CardImage::CardImage(QString uidText, int sectorCount)
    : uid(std::move(uidText)),
      sectors(std::clamp(sectorCount, 0, 40)),
      card(editor::kImageBytes, '\0'),
      shown(editor::kImageBytes, '\0'),
      read(static_cast<std::size_t>(sectors), false) {}

void CardImage::StoreRead(int sector, const QByteArray& data) {
  if (sector < 0 || sector >= sectors || data.size() < SectorDataSize(sector)) return;
  const int offset = SectorOffset(sector);
  for (int i = 0; i < SectorDataSize(sector); ++i) card[offset + i] = shown[offset + i] = data[i];
  read[static_cast<std::size_t>(sector)] = true;
}

bool CardImage::IsRead(int sector) const {
  return sector >= 0 && sector < sectors && read[static_cast<std::size_t>(sector)];
}

int CardImage::ReadSectors() const {
  return static_cast<int>(std::count(read.begin(), read.end(), true));
}

void CardImage::TakeEdits(const QByteArray& editorBytes) {
  for (int sector = 0; sector < sectors; ++sector) {
    if (!IsRead(sector)) continue;
    const int offset = SectorOffset(sector);
    const int end = std::min<int>(offset + SectorDataSize(sector), editorBytes.size());
    for (int i = offset; i < end; ++i) shown[i] = editorBytes[i];
  }
}

editor::KnownBytes CardImage::Known() const {
  editor::KnownBytes known;
  for (int sector = 0; sector < sectors; ++sector) {
    if (!IsRead(sector)) continue;
    for (int i = 0; i < SectorDataSize(sector); ++i) known.set(SectorOffset(sector) + i);
  }
  return known;
}

std::vector<int> CardImage::ChangedBlocks() const {
  std::vector<int> blocks;
  for (int sector = 0; sector < sectors; ++sector) {
    if (!IsRead(sector)) continue;
    for (int b = 0; b < DataBlocks(sector); ++b) {
      const int offset = SectorOffset(sector) + kBlockBytes * b;
      if (shown.mid(offset, kBlockBytes) != card.mid(offset, kBlockBytes))
        blocks.push_back(FirstBlock(sector) + b);
    }
  }
  return blocks;
}

QByteArray CardImage::BlockBytes(int block) const {
  const int offset = BlockOffset(block);
  return offset < 0 ? QByteArray() : shown.mid(offset, kBlockBytes);
}

void CardImage::MarkWritten(int block) {
  const int offset = BlockOffset(block);
  if (offset < 0) return;
  for (int i = offset; i < offset + kBlockBytes; ++i) card[i] = shown[i];
}

void CardImage::DiscardEdits() {
  shown = card;
}

int CardImage::BlockOffset(int block) const {
  for (int sector = 0; sector < sectors; ++sector) {
    const int index = block - FirstBlock(sector);
    if (index >= 0 && index < DataBlocks(sector)) return SectorOffset(sector) + kBlockBytes * index;
  }
  return -1;
}
