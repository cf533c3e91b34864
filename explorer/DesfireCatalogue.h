// SPDX-License-Identifier: MIT
#pragma once
// The card side of the DESFire view, free of widgets so that it runs in a job step on the
// worker: activating the chosen card, listing its applications and their files, reading a file
// after authenticating with the user's key, and the two commands that destroy data.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "norvexapi.h"

struct DesfireFileInfo {
  uint8_t number = 0;
  long status = 0;  // of GetFileSettings
  uint8_t type = 0, commSet = 0, acl[4] = {}, extraLen = 0, extra[20] = {};
  // The 3-byte number at `at` in the type's settings (size, record size, counts).
  unsigned Number(int at) const { return extra[at] | extra[at + 1] << 8 | extra[at + 2] << 16; }
  QString TypeName() const;
  QString SizeText() const;
  QString CommName() const;
  QString AccessText() const;  // read, write, read-write, change: key number, free or never
};

struct DesfireAppInfo {
  unsigned aid = 0;
  long keyStatus = 0;  // of GetKeySettings
  uint8_t keySettings = 0, maxKeys = 0;
  long filesStatus = 0;  // of SelectApplication or GetFileIDs
  std::vector<DesfireFileInfo> files;
  QString KeyTypeName() const;
  QString KeySettingsText() const;
};

// A key the user typed: its number in the selected application, type and bytes.
struct DesfireKey {
  uint8_t number = 0;
  DF_KEY_TYPE type = DF_KEY_DES;
  QByteArray bytes;
};

// The applications' AIDs (PICC level).
long ListApplications(void* session, std::vector<unsigned>& aids);
// Selects the application and reads its key settings and files.
DesfireAppInfo DescribeApplication(void* session, unsigned aid);

// What a file holds, as text: data as hex and ASCII, a value, records one a line.
struct DesfireContent {
  long status = 0;
  QString text;
};
// Selects the application, authenticates with key (when given) and reads the file.
DesfireContent ReadFileContent(void* session, unsigned aid, const DesfireFileInfo& file,
                               const std::optional<DesfireKey>& key);
// DeleteApplication or FormatPICC at the PICC level, authenticated with key (when given) first.
long DeleteApplication(void* session, unsigned aid, const std::optional<DesfireKey>& key);
long FormatDesfire(void* session, const std::optional<DesfireKey>& key);

// Hex and ASCII, 16 bytes a line, offsets in hex.
QString HexAsciiLines(const uint8_t* bytes, std::size_t length);
