// SPDX-License-Identifier: MIT
#include "ByteLines.h"

#include <QStringList>

QString ByteLines(const QByteArray& bytes, const QString& indent) {
  constexpr int kBytesPerLine = 16;
  QStringList lines;
  for (qsizetype at = 0; at < bytes.size(); at += kBytesPerLine)
    lines << indent + QString::number(at, 16).toUpper().rightJustified(4, QLatin1Char('0')) +
                 QStringLiteral("  ") +
                 QString::fromLatin1(bytes.mid(at, kBytesPerLine).toHex(' ').toUpper());
  return lines.join(QLatin1Char('\n'));
}
