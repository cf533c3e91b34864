// SPDX-License-Identifier: MIT
#pragma once
// Bytes shown for reading: in lines of 16, each after its offset in hex ("0010  0C 55 04 ...").

#include <QByteArray>
#include <QString>

QString ByteLines(const QByteArray& bytes, const QString& indent = QString());
// The bytes as upper-case hex pairs separated by spaces ("0C 55 04").
QString HexBytes(const QByteArray& bytes);
