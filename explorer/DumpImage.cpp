// SPDX-License-Identifier: MIT
#include "DumpImage.h"

#include <QByteArray>
#include <algorithm>

#include "MifareGeometry.h"
#include "dump/Hex.h"
#include "norvexapi.h"

namespace dump_image {

namespace dump = norvex::dump;

namespace {

QString HexText(const uint8_t* bytes, std::size_t size) {
  return QString::fromStdString(norvex::hex::encode(bytes, size));
}

std::vector<uint8_t> HexBytes(const QString& text) {
  return norvex::hex::decode(text.toStdString()).value_or(std::vector<uint8_t>{});
}

bool AllZero(const std::optional<dump::Block>& block) {
  return block && std::all_of(block->begin(), block->end(), [](uint8_t byte) { return byte == 0; });
}

}  // namespace

bool LooksUnread(const dump::CardImage& dump, std::size_t sector) {
  const std::size_t first = dump::firstBlockOfSector(sector);
  const std::size_t trailer = first + dump::blocksInSector(sector) - 1;
  if (!AllZero(dump.block(trailer))) return false;
  for (std::size_t block = first; block < trailer; ++block) {
    // Block 0 holds the UID even in a sector never read past it.
    if (block == 0) continue;
    if (dump.blockKnown(block) && !AllZero(dump.block(block))) return false;
  }
  return true;
}

QString OriginUid(const dump::CardImage& dump) {
  if (!dump.uid.empty()) return HexText(dump.uid.data(), dump.uid.size());
  const std::optional<dump::Block> block0 = dump.block(0);
  if (!block0) return {};
  const uint8_t bcc = (*block0)[0] ^ (*block0)[1] ^ (*block0)[2] ^ (*block0)[3];
  return bcc == (*block0)[4] ? HexText(block0->data(), 4) : QString();
}

CardImage FromDump(const dump::CardImage& dump, const QString& uid, int sectors,
                   const QString& file, int& leftOut) {
  CardImage image(uid, sectors);
  image.SetOrigin(OriginUid(dump), file);
  leftOut = 0;
  for (std::size_t sector = 0; sector < dump.sectorCount(); ++sector) {
    if (LooksUnread(dump, sector)) continue;
    const int first = static_cast<int>(dump::firstBlockOfSector(sector));
    const int dataBlocks = mifare_geometry::DataBlocks(static_cast<int>(sector));
    for (int block = first; block < first + dataBlocks; ++block) {
      const std::optional<dump::Block> data = dump.block(static_cast<std::size_t>(block));
      if (!data) continue;
      if (static_cast<int>(sector) >= sectors) {
        ++leftOut;
        continue;
      }
      image.StoreLoaded(block, QByteArray(reinterpret_cast<const char*>(data->data()),
                                          static_cast<qsizetype>(data->size())));
    }
  }
  return image;
}

dump::CardImage ToDump(const CardImage& image, const KeyLookup& keyOf) {
  const auto size = dump::cardSizeOfSectors(static_cast<std::size_t>(image.Sectors()));
  dump::CardImage dump(size.value_or(dump::CardSize::Classic4K));
  dump.uid = HexBytes(image.HoldsForeignData() ? image.OriginUid() : image.Uid());
  if (dump.uid.size() != 4 && dump.uid.size() != 7 && dump.uid.size() != 10) dump.uid.clear();
  dump.keys.resize(dump.sectorCount());
  for (int sector = 0; sector < static_cast<int>(dump.sectorCount()); ++sector) {
    const int first = mifare_geometry::FirstBlock(sector);
    for (int block = first; block < first + mifare_geometry::DataBlocks(sector); ++block) {
      if (!image.HasBlock(block)) continue;
      const QByteArray bytes = image.BlockBytes(block);
      for (int i = 0; i < bytes.size(); ++i)
        dump.setByte(static_cast<std::size_t>(16 * block + i), static_cast<uint8_t>(bytes[i]));
    }
    dump.keys[sector] = {keyOf(sector, MIF_KEY_TYPE_A), keyOf(sector, MIF_KEY_TYPE_B)};
  }
  const bool anyKey = std::any_of(dump.keys.begin(), dump.keys.end(),
                                  [](const dump::SectorKeys& keys) { return keys.a || keys.b; });
  if (!anyKey) dump.keys.clear();
  return dump;
}

int UnreadBlocks(const dump::CardImage& dump) {
  int count = 0;
  for (std::size_t block = 0; block < dump.blockCount(); ++block)
    if (!dump.blockKnown(block)) ++count;
  return count;
}

}  // namespace dump_image
