// SPDX-License-Identifier: MIT
#include "NdefRecords.h"

#include <QObject>
#include <QStringList>
#include <algorithm>
#include <array>
#include <functional>

#include "ByteLines.h"
#include "norvexapi.h"

namespace {

struct Record {
  uint8_t tnf = NDEF_TNF_EMPTY;
  QByteArray type, id, payload;
};

const uint8_t* Bytes(const QByteArray& bytes) {
  return reinterpret_cast<const uint8_t*>(bytes.constData());
}
uint32_t Size(const QByteArray& bytes) {
  return static_cast<uint32_t>(bytes.size());
}

QString TnfName(uint8_t tnf) {
  static const std::array<const char*, 8> kNames{"empty",        "well-known", "MIME media",
                                                 "absolute URI", "external",   "unknown",
                                                 "unchanged",    "reserved"};
  return QLatin1String(kNames[tnf & 7]);
}

// Calls a codec function with one in/out output buffer: for the size, then for the bytes.
long SizedCall(const std::function<long(uint8_t*, uint32_t*)>& call, QByteArray& out) {
  uint32_t length = 0;
  long status = call(nullptr, &length);
  if (status == NORVEX_E_WRONG_BUFFER_SIZE) {
    out.resize(length);
    status = call(reinterpret_cast<uint8_t*>(out.data()), &length);
  }
  if (status == 0) out.resize(length);
  return status;
}

long ReadRecords(const QByteArray& message, QList<Record>& records) {
  uint32_t count = 0;
  if (const long status = NDEF_ParseMessage(Bytes(message), Size(message), &count)) return status;
  for (uint32_t index = 0; index < count; ++index) {
    Record record;
    uint32_t lengths[3] = {};
    long status = NDEF_GetRecord(Bytes(message), Size(message), index, &record.tnf, nullptr,
                                 &lengths[0], nullptr, &lengths[1], nullptr, &lengths[2]);
    if (status != 0 && status != NORVEX_E_WRONG_BUFFER_SIZE) return status;
    record.type.resize(lengths[0]);
    record.id.resize(lengths[1]);
    record.payload.resize(lengths[2]);
    status = NDEF_GetRecord(Bytes(message), Size(message), index, &record.tnf,
                            reinterpret_cast<uint8_t*>(record.type.data()), &lengths[0],
                            reinterpret_cast<uint8_t*>(record.id.data()), &lengths[1],
                            reinterpret_cast<uint8_t*>(record.payload.data()), &lengths[2]);
    if (status != 0) return status;
    records.append(record);
  }
  return 0;
}

bool Printable(const QByteArray& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

NdefRecordRow Describe(const Record& record, bool nested);

// Text, URI and smart poster records; false when the payload does not decode (shown raw then).
bool DescribeWellKnown(const Record& record, bool nested, NdefRecordRow& row) {
  if (record.type == "T") {
    uint32_t languageLength = 64, textLength = 2 * Size(record.payload), utf16 = 0;
    QByteArray language(languageLength, '\0'), text(textLength, '\0');
    if (NDEF_DecodeText(Bytes(record.payload), Size(record.payload),
                        reinterpret_cast<uint8_t*>(language.data()), &languageLength,
                        reinterpret_cast<uint8_t*>(text.data()), &textLength, &utf16) != 0)
      return false;
    row.type = QStringLiteral("text (%1, %2)")
                   .arg(QString::fromUtf8(language.left(languageLength)),
                        utf16 != 0 ? QStringLiteral("UTF-16") : QStringLiteral("UTF-8"));
    row.content = QString::fromUtf8(text.left(textLength));
    return true;
  }
  if (record.type == "U") {
    QByteArray uri;
    if (SizedCall(
            [&](uint8_t* out, uint32_t* length) {
              return NDEF_DecodeUri(Bytes(record.payload), Size(record.payload), out, length);
            },
            uri) != 0)
      return false;
    row.type = QStringLiteral("URI");
    row.content = QString::fromUtf8(uri);
    return true;
  }
  // One level of smart poster: a poster inside a poster is shown raw.
  QList<Record> parts;
  if (record.type != "Sp" || nested || ReadRecords(record.payload, parts) != 0) return false;
  row.type = QStringLiteral("smart poster");
  QStringList summary;
  for (const Record& part : parts) {
    row.parts.append(Describe(part, true));
    summary << row.parts.last().content;
  }
  row.content = summary.join(QStringLiteral("; "));
  return true;
}

NdefRecordRow Describe(const Record& record, bool nested) {
  NdefRecordRow row{TnfName(record.tnf), {}, {}, record.id, {}};
  if (record.tnf == NDEF_TNF_WELL_KNOWN && DescribeWellKnown(record, nested, row)) return row;
  const QString type = QString::fromUtf8(record.type);
  row.type = type;
  switch (record.tnf) {
    case NDEF_TNF_EMPTY:
      row.type = QStringLiteral("empty");
      break;
    case NDEF_TNF_MEDIA:
      row.content = QStringLiteral("%1 bytes").arg(record.payload.size());
      if (type.startsWith(QLatin1String("text/")) && Printable(record.payload))
        row.content += QStringLiteral(": ") + QString::fromLatin1(record.payload);
      break;
    case NDEF_TNF_ABSOLUTE_URI:
      row.content = type;
      break;
    case NDEF_TNF_EXTERNAL:
      // Printable payloads (an Android application record's package name) as text.
      row.content = Printable(record.payload) ? QString::fromLatin1(record.payload)
                                              : HexBytes(record.payload);
      break;
    default:
      row.type = Printable(record.type) ? type : HexBytes(record.type);
      row.content = HexBytes(record.payload);
  }
  return row;
}

}  // namespace

long DecodeNdefMessage(const QByteArray& message, QList<NdefRecordRow>& rows) {
  QList<Record> records;
  if (const long status = ReadRecords(message, records)) return status;
  for (const Record& record : records) rows.append(Describe(record, false));
  return 0;
}
