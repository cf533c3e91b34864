// SPDX-License-Identifier: MIT
#pragma once
// An NDEF message decoded for people with the library's record codec: per record its type name
// format, its type and what it holds (text with its language, URI, MIME type and size, external
// type, absolute URI; the payload in hex otherwise). A smart poster's records are its parts.

#include <QByteArray>
#include <QList>
#include <QString>

struct NdefRecordRow {
  QString tnf;      // "well-known", "MIME media", ...
  QString type;     // "text (en, UTF-8)", "URI", "text/vcard", ...
  QString content;  // the text, the URI, "1234 bytes", ...
  QByteArray id;
  QList<NdefRecordRow> parts;  // a smart poster's records
};

// The records of a whole message into `rows`; 0, or the codec's status for a malformed message
// (nothing decoded then).
long DecodeNdefMessage(const QByteArray& message, QList<NdefRecordRow>& rows);
