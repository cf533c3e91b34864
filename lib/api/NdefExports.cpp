// SPDX-License-Identifier: MIT
// Exported NDEF_ functions: the record codec over the caller's buffers. They take no session and
// touch no reader. Every result goes through one copy-out step that honours the caller's in/out
// length, so a short buffer gets the size it needs and nothing else is written.

#include <string>
#include <vector>

#include "api/CallerBuffers.h"
#include "ndef/NdefMessage.h"
#include "ndef/NdefPayloads.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

namespace {

std::span<const std::uint8_t> Bytes(const uint8_t* data, uint32_t length) {
  return {data, data == nullptr ? 0 : length};
}

std::vector<std::uint8_t> Copy(const uint8_t* data, std::size_t length) {
  return length == 0 ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>(data, data + length);
}

bool MissingInput(const void* data, uint32_t length) {
  return data == nullptr && length != 0;
}

long ToRecords(const NDEF_RECORD* in, uint32_t count, std::vector<NdefRecord>& records) {
  for (uint32_t i = 0; i < count; ++i) {
    const NDEF_RECORD& r = in[i];
    if (MissingInput(r.type, r.typeLength) || MissingInput(r.id, r.idLength) ||
        MissingInput(r.payload, r.payloadLength)) {
      return wrong_parameter_value;
    }
    records.push_back({r.tnf, Copy(r.type, r.typeLength), Copy(r.id, r.idLength),
                       Copy(r.payload, r.payloadLength)});
  }
  return 0;
}

}  // namespace

extern "C" {

long NDEF_ParseMessage(const uint8_t* message, uint32_t length, uint32_t* count) try {
  if (count == nullptr || MissingInput(message, length)) return wrong_parameter_value;
  std::vector<NdefRecord> records;
  const long status = ParseNdefMessage(Bytes(message, length), records);
  if (status == 0) *count = static_cast<uint32_t>(records.size());
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

long NDEF_GetRecord(const uint8_t* message, uint32_t length, uint32_t index, uint8_t* tnf,
                    uint8_t* type, uint32_t* typeLength, uint8_t* id, uint32_t* idLength,
                    uint8_t* payload, uint32_t* payloadLength) try {
  if (tnf == nullptr || MissingInput(message, length)) return wrong_parameter_value;
  std::vector<NdefRecord> records;
  if (const long status = ParseNdefMessage(Bytes(message, length), records); status != 0) {
    return status;
  }
  if (index >= records.size()) return wrong_parameter_value;
  const NdefRecord& record = records[index];
  const long status = CopyToCaller({{{type, typeLength}, record.type},
                                    {{id, idLength}, record.id},
                                    {{payload, payloadLength}, record.payload}});
  if (status == 0) *tnf = record.tnf;
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

long NDEF_BuildMessage(const NDEF_RECORD* records, uint32_t count, uint8_t* message,
                       uint32_t* messageLength) try {
  if (MissingInput(records, count)) return wrong_parameter_value;
  std::vector<NdefRecord> converted;
  if (const long status = ToRecords(records, count, converted); status != 0) return status;
  std::vector<std::uint8_t> bytes;
  if (const long status = BuildNdefMessage(converted, bytes); status != 0) return status;
  return CopyToCaller({{{message, messageLength}, bytes}});
} catch (...) {
  return StatusOfCurrentException();
}

long NDEF_BuildText(const char* language, const uint8_t* text, uint32_t textLength, uint32_t utf16,
                    uint8_t* payload, uint32_t* payloadLength) try {
  if (language == nullptr || MissingInput(text, textLength)) return wrong_parameter_value;
  std::vector<std::uint8_t> bytes;
  const std::string body(reinterpret_cast<const char*>(text), text == nullptr ? 0 : textLength);
  if (const long status = BuildTextPayload(language, body, utf16 != 0, bytes); status != 0) {
    return status;
  }
  return CopyToCaller({{{payload, payloadLength}, bytes}});
} catch (...) {
  return StatusOfCurrentException();
}

long NDEF_DecodeText(const uint8_t* payload, uint32_t payloadLength, uint8_t* language,
                     uint32_t* languageLength, uint8_t* text, uint32_t* textLength,
                     uint32_t* utf16) try {
  if (utf16 == nullptr || MissingInput(payload, payloadLength)) return wrong_parameter_value;
  std::string code, body;
  bool wide = false;
  if (const long status = DecodeTextPayload(Bytes(payload, payloadLength), code, body, wide);
      status != 0) {
    return status;
  }
  const long status = CopyToCaller(
      {{{language, languageLength}, BytesOf(code)}, {{text, textLength}, BytesOf(body)}});
  if (status == 0) *utf16 = wide ? 1 : 0;
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

long NDEF_BuildUri(const uint8_t* uri, uint32_t uriLength, uint8_t* payload,
                   uint32_t* payloadLength) try {
  if (MissingInput(uri, uriLength)) return wrong_parameter_value;
  std::vector<std::uint8_t> bytes;
  BuildUriPayload(std::string(reinterpret_cast<const char*>(uri), uri == nullptr ? 0 : uriLength),
                  bytes);
  return CopyToCaller({{{payload, payloadLength}, bytes}});
} catch (...) {
  return StatusOfCurrentException();
}

long NDEF_DecodeUri(const uint8_t* payload, uint32_t payloadLength, uint8_t* uri,
                    uint32_t* uriLength) try {
  if (MissingInput(payload, payloadLength)) return wrong_parameter_value;
  std::string text;
  if (const long status = DecodeUriPayload(Bytes(payload, payloadLength), text); status != 0) {
    return status;
  }
  return CopyToCaller({{{uri, uriLength}, BytesOf(text)}});
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
