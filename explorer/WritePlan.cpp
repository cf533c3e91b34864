// SPDX-License-Identifier: MIT
#include "WritePlan.h"

#include <map>
#include <vector>

#include "CardImage.h"
#include "MifareGeometry.h"

namespace write_plan {

namespace {

QString SectorNumber(int sector) {
  return QString::asprintf("%02d", sector);
}

int SectorOfBlock(int block, int sectors) {
  for (int sector = 0; sector < sectors; ++sector) {
    const int first = mifare_geometry::FirstBlock(sector);
    if (block >= first && block < first + mifare_geometry::DataBlocks(sector)) return sector;
  }
  return -1;
}

// Every data block of the sector the image holds is 00 as the editor shows it (block 0 aside).
bool DataAllZero(const CardImage& image, int sector) {
  const int first = mifare_geometry::FirstBlock(sector);
  for (int block = first; block < first + mifare_geometry::DataBlocks(sector); ++block) {
    if (block == 0 || !image.HasBlock(block)) continue;
    if (image.BlockBytes(block).count('\0') != 16) return false;
  }
  return true;
}

}  // namespace

QStringList Lines(const CardImage& image) {
  std::map<int, QStringList> changed;
  for (const int block : image.ChangedBlocks())
    changed[SectorOfBlock(block, image.Sectors())] << QString::number(block);
  QStringList lines;
  QStringList zeroed;
  for (const auto& [sector, blocks] : changed) {
    lines << QStringLiteral("Sector %1: %2 %3")
                 .arg(SectorNumber(sector),
                      blocks.size() == 1 ? QStringLiteral("block") : QStringLiteral("blocks"),
                      blocks.join(QStringLiteral(", ")));
    if (DataAllZero(image, sector)) zeroed << SectorNumber(sector);
  }
  if (!zeroed.isEmpty())
    lines << QStringLiteral("Data becomes all 00 in sectors %1.")
                 .arg(zeroed.join(QStringLiteral(", ")));
  return lines;
}

}  // namespace write_plan
