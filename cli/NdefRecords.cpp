// SPDX-License-Identifier: MIT
#include "cli/NdefRecords.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "cli/CliError.h"
#include "dump/DumpFile.h"
#include "dump/Hex.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

// A MIME payload or a --raw message larger than any tag's NDEF area (a type 4 file holds at
// most 64 KiB) is refused before it is read.
constexpr std::size_t kMaxRecordFileBytes = 0xFFFF;
constexpr uint8_t kTextUtf16 = 0x80;

struct Record {
  uint8_t tnf = NDEF_TNF_EMPTY;
  std::vector<uint8_t> type, id, payload;
};

std::vector<uint8_t> bytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}
std::string textOf(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// Calls an NDEF_ function with one in/out output buffer twice: for the size, then for the bytes.
std::vector<uint8_t> sizedCall(const std::function<long(uint8_t*, uint32_t*)>& call,
                               const std::string& what) {
  uint32_t length = 0;
  long status = call(nullptr, &length);
  std::vector<uint8_t> out;
  if (status == NORVEX_E_WRONG_BUFFER_SIZE) {
    out.resize(length);
    status = call(out.data(), &length);
  }
  check(status, what);
  out.resize(length);
  return out;
}

std::vector<Record> parseRecords(const std::vector<uint8_t>& message, const std::string& what) {
  const auto size = static_cast<uint32_t>(message.size());
  uint32_t count = 0;
  check(NDEF_ParseMessage(message.data(), size, &count), what);
  std::vector<Record> records(count);
  for (uint32_t i = 0; i < count; ++i) {
    Record& record = records[i];
    uint32_t lengths[3] = {};
    long status = NDEF_GetRecord(message.data(), size, i, &record.tnf, nullptr, &lengths[0],
                                 nullptr, &lengths[1], nullptr, &lengths[2]);
    if (status != NORVEX_OK && status != NORVEX_E_WRONG_BUFFER_SIZE) check(status, what);
    record.type.resize(lengths[0]);
    record.id.resize(lengths[1]);
    record.payload.resize(lengths[2]);
    check(NDEF_GetRecord(message.data(), size, i, &record.tnf, record.type.data(), &lengths[0],
                         record.id.data(), &lengths[1], record.payload.data(), &lengths[2]),
          what);
  }
  return records;
}

std::vector<uint8_t> fileBytes(const std::string& path, const std::string& option) {
  auto contents = dump::readWholeFile(path, kMaxRecordFileBytes);
  if (!contents.value) usageError("--" + option + " " + contents.error);
  return bytesOf(*contents.value);
}

bool validMimeType(const std::string& type) {
  return !type.empty() && type.size() <= 255 && type.find('/') != std::string::npos &&
         std::all_of(type.begin(), type.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

// Appends the records one option stands for.
void addRecords(const RecordOption& option, const std::string& language,
                std::vector<Record>& records) {
  const std::string& value = option.values[0];
  const std::vector<uint8_t> bytes = bytesOf(value);
  const auto length = static_cast<uint32_t>(bytes.size());
  if (option.name == "text") {
    records.push_back({NDEF_TNF_WELL_KNOWN,
                       {'T'},
                       {},
                       sizedCall(
                           [&](uint8_t* out, uint32_t* n) {
                             return NDEF_BuildText(language.c_str(), bytes.data(), length, 0, out,
                                                   n);
                           },
                           "--text " + value + " (--lang " + language + ")")});
  } else if (option.name == "uri") {
    if (value.empty()) usageError("--uri takes a URI");
    records.push_back(
        {NDEF_TNF_WELL_KNOWN,
         {'U'},
         {},
         sizedCall(
             [&](uint8_t* out, uint32_t* n) { return NDEF_BuildUri(bytes.data(), length, out, n); },
             "--uri " + value)});
  } else if (option.name == "mime") {
    if (!validMimeType(value)) usageError("--mime " + value + ": not a MIME type (type/subtype)");
    records.push_back({NDEF_TNF_MEDIA, bytes, {}, fileBytes(option.values[1], "mime")});
  } else {
    const std::vector<Record> raw =
        parseRecords(fileBytes(value, "raw"), "--raw " + value + ": not an NDEF message");
    records.insert(records.end(), raw.begin(), raw.end());
  }
}

// Printable text for a terminal: control characters (a tag may hold escape sequences) as \xNN.
std::string visible(const std::string& text) {
  std::string out;
  for (unsigned char c : text)
    out +=
        c < 0x20 || c == 0x7F ? "\\x" + hex::encode(&c, 1) : std::string(1, static_cast<char>(c));
  return out;
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates), so that they may
// go into a JSON string.
bool isUtf8(const std::vector<uint8_t>& bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const uint8_t lead = bytes[i];
    std::size_t extra = 0;
    uint8_t low = 0x80, high = 0xBF;  // the range of the byte after the lead
    if (lead < 0x80) {
      extra = 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (bytes.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const uint8_t next = bytes[i + k];
      if (k == 1 ? next < low || next > high : (next & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

DecodedRecord describe(const Record& record, bool nested);

// Text ("T") and URI ("U") records decoded, or nothing when the payload is malformed or not
// UTF-8 (the record is then shown raw).
std::optional<DecodedRecord> describeWellKnown(const Record& record, bool nested) {
  const auto size = static_cast<uint32_t>(record.payload.size());
  const std::string type = textOf(record.type);
  if (type == "T" && !record.payload.empty()) {
    // Room for the longest language code (63 bytes) and for UTF-16 text grown into UTF-8.
    uint32_t languageSize = 64, textSize = size * 2, utf16 = 0;
    std::vector<uint8_t> language(languageSize), text(textSize);
    if (NDEF_DecodeText(record.payload.data(), size, language.data(), &languageSize, text.data(),
                        &textSize, &utf16) != NORVEX_OK)
      return std::nullopt;
    language.resize(languageSize);
    text.resize(textSize);
    if (!isUtf8(text) || !isUtf8(language)) return std::nullopt;
    const std::string lang = textOf(language) + (utf16 != 0 ? ", UTF-16" : "");
    return DecodedRecord{"text (" + visible(lang) + ")", visible(textOf(text)),
                         dump::JsonValue::object()
                             .add("record", dump::jsonString("text"))
                             .add("language", dump::jsonString(textOf(language)))
                             .add("encoding", dump::jsonString(utf16 != 0 ? "UTF-16" : "UTF-8"))
                             .add("text", dump::jsonString(textOf(text)))};
  }
  if (type == "U") {
    uint32_t uriSize = 0;
    std::vector<uint8_t> uri;
    long status = NDEF_DecodeUri(record.payload.data(), size, nullptr, &uriSize);
    if (status != NORVEX_E_WRONG_BUFFER_SIZE && status != NORVEX_OK) return std::nullopt;
    uri.resize(uriSize);
    if (NDEF_DecodeUri(record.payload.data(), size, uri.data(), &uriSize) != NORVEX_OK ||
        !isUtf8(uri))
      return std::nullopt;
    return DecodedRecord{"uri", visible(textOf(uri)),
                         dump::JsonValue::object()
                             .add("record", dump::jsonString("uri"))
                             .add("uri", dump::jsonString(textOf(uri)))};
  }
  if (type == "Sp" && !nested) {
    // A smart poster's payload is a message of its own: its URI, title texts, actions (one level:
    // a poster inside a poster is shown raw).
    uint32_t count = 0;
    if (NDEF_ParseMessage(record.payload.data(), size, &count) != NORVEX_OK) return std::nullopt;
    dump::JsonValue inner = dump::JsonValue::array();
    std::string content;
    for (const Record& part : parseRecords(record.payload, "decoding a smart poster")) {
      DecodedRecord decoded = describe(part, true);
      content += (content.empty() ? "" : "; ") + decoded.type + " " + decoded.content;
      inner.push(std::move(decoded.json));
    }
    return DecodedRecord{"smart poster", content,
                         dump::JsonValue::object()
                             .add("record", dump::jsonString("smartPoster"))
                             .add("records", std::move(inner))};
  }
  return std::nullopt;
}

DecodedRecord describe(const Record& record, bool nested) {
  const std::string type = textOf(record.type);
  const bool textType = isUtf8(record.type);
  std::optional<DecodedRecord> decoded;
  if (record.tnf == NDEF_TNF_WELL_KNOWN) decoded = describeWellKnown(record, nested);
  const std::string payloadHex = hex::encode(record.payload.data(), record.payload.size());
  if (!decoded && record.tnf == NDEF_TNF_MEDIA && textType)
    decoded =
        DecodedRecord{"mime " + visible(type), std::to_string(record.payload.size()) + " bytes",
                      dump::JsonValue::object()
                          .add("record", dump::jsonString("mime"))
                          .add("mimeType", dump::jsonString(type))
                          .add("size", dump::jsonNumber(record.payload.size()))
                          .add("payload", dump::jsonString(payloadHex))};
  if (!decoded && record.tnf == NDEF_TNF_EXTERNAL && textType) {
    // Printable payloads (an Android application record's package name) as text.
    const bool printable = std::all_of(record.payload.begin(), record.payload.end(),
                                       [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
    decoded = DecodedRecord{
        (type == "android.com:pkg" ? "android app (" : "external (") + visible(type) + ")",
        printable ? textOf(record.payload) : payloadHex,
        dump::JsonValue::object()
            .add("record", dump::jsonString("external"))
            .add("type", dump::jsonString(type))
            .add("payload", dump::jsonString(payloadHex))};
  }
  if (!decoded && record.tnf == NDEF_TNF_ABSOLUTE_URI && textType)
    decoded = DecodedRecord{"absolute uri", visible(type),
                            dump::JsonValue::object()
                                .add("record", dump::jsonString("absoluteUri"))
                                .add("uri", dump::jsonString(type))
                                .add("payload", dump::jsonString(payloadHex))};
  if (!decoded && record.tnf == NDEF_TNF_EMPTY)
    decoded = DecodedRecord{"empty", "",
                            dump::JsonValue::object().add("record", dump::jsonString("empty"))};
  if (!decoded) {
    const std::string typeHex = hex::encode(record.type.data(), record.type.size());
    decoded = DecodedRecord{"raw (TNF " + std::to_string(record.tnf) + ")",
                            "type " + typeHex + ", payload " + payloadHex,
                            dump::JsonValue::object()
                                .add("record", dump::jsonString("raw"))
                                .add("tnf", dump::jsonNumber(record.tnf))
                                .add("type", dump::jsonString(typeHex))
                                .add("payload", dump::jsonString(payloadHex))};
  }
  if (!record.id.empty())
    decoded->json.add("id", dump::jsonHex(record.id.data(), record.id.size()));
  return *decoded;
}

}  // namespace

std::vector<RecordOption> takeRecordOptions(Words& words) {
  static constexpr std::array<std::pair<const char*, std::size_t>, 4> kRecordOptions = {
      {{"text", 1}, {"uri", 1}, {"mime", 2}, {"raw", 1}}};
  Words rest;
  std::vector<RecordOption> found;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--") {
      rest.insert(rest.end(), words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
      break;
    }
    const std::size_t equals = words[i].find('=');
    const std::string name = words[i].starts_with("--") ? words[i].substr(2, equals - 2) : "";
    const auto* known = std::find_if(kRecordOptions.begin(), kRecordOptions.end(),
                                     [&name](const auto& option) { return name == option.first; });
    if (known == kRecordOptions.end()) {
      rest.push_back(words[i]);
      continue;
    }
    RecordOption option{name, {}};
    if (equals != std::string::npos) option.values.push_back(words[i].substr(equals + 1));
    while (option.values.size() < known->second) {
      if (++i >= words.size())
        usageError("--" + name + (name == "mime" ? " needs TYPE and FILE" : " needs a value"));
      option.values.push_back(words[i]);
    }
    found.push_back(std::move(option));
  }
  words = std::move(rest);
  return found;
}

std::vector<uint8_t> buildMessage(const std::vector<RecordOption>& options,
                                  const std::string& language) {
  std::vector<Record> records;
  for (const RecordOption& option : options) addRecords(option, language, records);
  std::vector<NDEF_RECORD> flat;
  for (const Record& record : records) {
    if (record.type.size() > 255 || record.id.size() > 255)
      usageError("a record type or ID longer than 255 bytes");
    flat.push_back({record.tnf, static_cast<uint8_t>(record.type.size()),
                    static_cast<uint8_t>(record.id.size()), record.type.data(), record.id.data(),
                    record.payload.data(), static_cast<uint32_t>(record.payload.size())});
  }
  return sizedCall(
      [&](uint8_t* out, uint32_t* n) {
        return NDEF_BuildMessage(flat.data(), static_cast<uint32_t>(flat.size()), out, n);
      },
      "building the NDEF message");
}

std::vector<DecodedRecord> decodeMessage(const std::vector<uint8_t>& message) {
  std::vector<DecodedRecord> decoded;
  for (const Record& record : parseRecords(message, "decoding the NDEF message on the tag"))
    decoded.push_back(describe(record, false));
  return decoded;
}

}  // namespace norvex::cli
