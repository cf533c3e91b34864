// SPDX-License-Identifier: MIT
#include "ClassicTexts.h"

#include "MifareGeometry.h"
#include "QVMifareObj.h"

namespace classic_text {

QString KeyName(int keyNum) {
  return keyNum == MIF_KEY_TYPE_A ? QStringLiteral("key A") : QStringLiteral("key B");
}

QString Blocks(int count, const char* kind) {
  return QStringLiteral("%1 %2 %3")
      .arg(count)
      .arg(QLatin1String(kind), count == 1 ? QStringLiteral("block") : QStringLiteral("blocks"));
}

QString Sector(int sector) {
  return QString::asprintf("%02d", sector);
}

QString FailureText(const QVMifareObj& obj, int status) {
  if (status == -1) return obj.ErrorMsg();
  return QVMifareObj::ErrorText(status);
}

QString Failure(const char* verb, const QString& detail) {
  QString text =
      QStringLiteral("Data cannot be %1, please check Keys or Access Bit").arg(QLatin1String(verb));
  if (!detail.isEmpty()) text += QStringLiteral("\n\n") + detail;
  return text;
}

}  // namespace classic_text

namespace classic_text {

QString BlockLabel(int offset, int sectors, int firstSector) {
  for (int sector = firstSector; sector < sectors; ++sector) {
    const int start =
        mifare_geometry::SectorOffset(sector) - mifare_geometry::SectorOffset(firstSector);
    if (offset < start || offset >= start + mifare_geometry::SectorDataSize(sector)) continue;
    return QString::asprintf("S%02d B%03d", sector,
                             mifare_geometry::FirstBlock(sector) + (offset - start) / 16);
  }
  return {};
}

}  // namespace classic_text
