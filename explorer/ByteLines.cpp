// SPDX-License-Identifier: MIT
#include "ByteLines.h"

#include <QStringList>

#include "dump/Hex.h"

QString ByteLines(const QByteArray& bytes, const QString& indent) {
  constexpr int kBytesPerLine = 16;
  QStringList lines;
  for (qsizetype at = 0; at < bytes.size(); at += kBytesPerLine)
    lines << indent + QString::number(at, 16).toUpper().rightJustified(4, QLatin1Char('0')) +
                 QStringLiteral("  ") + HexBytes(bytes.mid(at, kBytesPerLine));
  return lines.join(QLatin1Char('\n'));
}

QString HexBytes(const QByteArray& bytes) {
  return QString::fromStdString(
      norvex::hex::encode(reinterpret_cast<const uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()), " "));
}
