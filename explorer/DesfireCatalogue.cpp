// SPDX-License-Identifier: MIT
// Key settings (one byte): bit 0 the master key can be changed, bit 1 listing needs no
// authentication, bit 2 nor do creating and deleting, bit 3 the settings can be changed; the high
// nibble names the key that changes the others (0 the master key, E the key itself, F none).
// The key count byte carries the key type in bits 6-7 (01 3K3DES, 10 AES, 00 DES or 2K3DES).
#include "DesfireCatalogue.h"

#include <QStringList>
#include <array>

namespace {

enum FileType : uint8_t { kStandard, kBackup, kValue, kLinearRecord, kCyclicRecord };
constexpr unsigned kMaxApplications = 28;
constexpr unsigned kMaxFiles = 16;
constexpr uint8_t kFreeKey = 14, kNeverKey = 15;

long SelectAndAuthenticate(void* session, unsigned aid, const std::optional<DesfireKey>& key) {
  if (const long status = DF_SelectApp(session, aid); status != NORVEX_OK) return status;
  if (!key) return NORVEX_OK;
  return DF_AuthenticateEV1(session, key->number, key->type,
                            reinterpret_cast<const uint8_t*>(key->bytes.constData()),
                            static_cast<unsigned>(key->bytes.size()));
}

QString KeyText(uint8_t key) {
  if (key == kFreeKey) return QStringLiteral("free");
  if (key == kNeverKey) return QStringLiteral("never");
  return QString::number(key);
}

}  // namespace

QString DesfireFileInfo::TypeName() const {
  static const std::array<const char*, 5> kNames{"standard", "backup", "value", "linear record",
                                                 "cyclic record"};
  return type < kNames.size() ? QString::fromLatin1(kNames[type]) : QStringLiteral("unknown");
}

QString DesfireFileInfo::SizeText() const {
  if (type <= kBackup) return QStringLiteral("%1 bytes").arg(Number(0));
  if (type == kValue) return QStringLiteral("4-byte value");
  return QStringLiteral("%1 of %2 records of %3 bytes")
      .arg(Number(6))
      .arg(Number(3))
      .arg(Number(0));
}

QString DesfireFileInfo::CommName() const {
  if (commSet == COMM_PLAIN) return QStringLiteral("plain");
  return commSet == COMM_MACED ? QStringLiteral("MACed") : QStringLiteral("enciphered");
}

QString DesfireFileInfo::AccessText() const {
  return QStringLiteral("read %1, write %2, read-write %3, change %4")
      .arg(KeyText(acl[0]), KeyText(acl[1]), KeyText(acl[2]), KeyText(acl[3]));
}

QString DesfireAppInfo::KeyTypeName() const {
  if (keyStatus != NORVEX_OK) return QString();
  const QString type = (maxKeys & 0xC0) == 0x80   ? QStringLiteral("AES")
                       : (maxKeys & 0xC0) == 0x40 ? QStringLiteral("3K3DES")
                                                  : QStringLiteral("DES / 2K3DES");
  return QStringLiteral("%1 keys, %2").arg(maxKeys & 0x0F).arg(type);
}

QString DesfireAppInfo::KeySettingsText() const {
  if (keyStatus != NORVEX_OK)
    return QStringLiteral("not readable (%1)")
        .arg(QString::fromLatin1(GetErrorText(int(keyStatus))));
  QStringList parts;
  parts << QStringLiteral("%1").arg(keySettings, 2, 16, QLatin1Char('0')).toUpper();
  if (keySettings & 0x02) parts << QStringLiteral("free listing");
  if (keySettings & 0x04) parts << QStringLiteral("free create/delete");
  if (!(keySettings & 0x01)) parts << QStringLiteral("master key frozen");
  const unsigned changer = keySettings >> 4;
  parts << (changer == 0     ? QStringLiteral("keys changed with key 0")
            : changer == 0xE ? QStringLiteral("each key changes itself")
            : changer == 0xF ? QStringLiteral("keys frozen")
                             : QStringLiteral("keys changed with key %1").arg(changer));
  return parts.join(QStringLiteral(", "));
}

long ListApplications(void* session, std::vector<unsigned>& aids) {
  std::array<unsigned, kMaxApplications> found{};
  uint16_t count = found.size();
  if (const long status = DF_ListApps(session, found.data(), &count); status != NORVEX_OK)
    return status;
  aids.assign(found.begin(), found.begin() + std::min<std::size_t>(count, found.size()));
  return NORVEX_OK;
}

DesfireAppInfo DescribeApplication(void* session, unsigned aid) {
  DesfireAppInfo app;
  app.aid = aid;
  app.filesStatus = DF_SelectApp(session, aid);
  if (app.filesStatus != NORVEX_OK) return app;
  app.keyStatus = DF_GetKeySettings(session, &app.keySettings, &app.maxKeys);
  std::array<uint8_t, kMaxFiles> ids{};
  uint8_t count = 0;
  app.filesStatus = DF_GetFileIDs(session, &count, ids.data());
  if (app.filesStatus != NORVEX_OK) return app;
  for (uint8_t i = 0; i < std::min<uint8_t>(count, kMaxFiles); ++i) {
    DesfireFileInfo file;
    file.number = ids[i];
    file.status = DF_GetFileSettings(session, file.number, &file.commSet, &file.type, file.acl,
                                     &file.extraLen, file.extra);
    app.files.push_back(file);
  }
  return app;
}

QString HexAsciiLines(const uint8_t* bytes, std::size_t length) {
  constexpr std::size_t kPerLine = 16;
  QStringList lines;
  for (std::size_t at = 0; at < length; at += kPerLine) {
    QString hex, ascii;
    for (std::size_t i = at; i < std::min(length, at + kPerLine); ++i) {
      hex += QStringLiteral("%1 ").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
      ascii += bytes[i] >= 0x20 && bytes[i] < 0x7F ? QChar(bytes[i]) : QChar('.');
    }
    lines << QStringLiteral("%1  %2 %3")
                 .arg(QStringLiteral("%1").arg(at, 4, 16, QLatin1Char('0')).toUpper())
                 .arg(hex.leftJustified(3 * kPerLine))
                 .arg(ascii);
  }
  return lines.join(QLatin1Char('\n'));
}

DesfireContent ReadFileContent(void* session, unsigned aid, const DesfireFileInfo& file,
                               const std::optional<DesfireKey>& key) {
  DesfireContent content;
  content.status = SelectAndAuthenticate(session, aid, key);
  if (content.status != NORVEX_OK) return content;
  const auto set = static_cast<FILE_COMM_SET>(file.commSet);
  if (file.type == kValue) {
    int value = 0;
    content.status = DF_GetValueEV1(session, file.number, set, &value);
    content.text = QStringLiteral("value %1").arg(value);
    return content;
  }
  if (file.type <= kBackup) {
    unsigned length = std::min(file.Number(0), 0xFFFFU);
    std::vector<uint8_t> data(length);
    if (length > 0)
      content.status = DF_ReadDataEV1(session, file.number, set, 0, &length, data.data());
    content.text = HexAsciiLines(data.data(), std::min<std::size_t>(length, data.size()));
    return content;
  }
  const unsigned recordSize = file.Number(0);
  unsigned count = file.Number(6);
  if (count == 0 || recordSize == 0) {
    content.text = QStringLiteral("no records");
    return content;
  }
  std::vector<uint8_t> records(std::size_t{count} * recordSize);
  content.status =
      DF_ReadRecordsEV1(session, file.number, set, 0, &count, records.data(), recordSize);
  QStringList lines;
  for (unsigned i = 0; i < count && std::size_t{i + 1} * recordSize <= records.size(); ++i)
    lines << QStringLiteral("record %1:\n%2")
                 .arg(i)
                 .arg(HexAsciiLines(&records[std::size_t{i} * recordSize], recordSize));
  content.text = lines.join(QLatin1Char('\n'));
  return content;
}

long DeleteApplication(void* session, unsigned aid, const std::optional<DesfireKey>& key) {
  if (const long status = SelectAndAuthenticate(session, 0, key); status != NORVEX_OK)
    return status;
  return DF_DeleteApp(session, aid);
}

long FormatDesfire(void* session, const std::optional<DesfireKey>& key) {
  if (const long status = SelectAndAuthenticate(session, 0, key); status != NORVEX_OK)
    return status;
  return DF_FormatCard(session);
}
