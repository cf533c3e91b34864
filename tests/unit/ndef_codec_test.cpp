// SPDX-License-Identifier: MIT
// The NDEF record codec through the exported NDEF_ functions: the NFC Forum known-answer messages
// (Text "hello", URI https://example.com, the 33-byte smart poster), chunked records, the URI
// abbreviation table, UTF-16 text, malformed messages and the callers' in/out buffer lengths.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "norvexapi.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

struct Record {
  std::uint8_t tnf = 0;
  Bytes type, id, payload;
  bool operator==(const Record&) const = default;
};

// Builds a message through NDEF_BuildMessage; the status goes to *status.
Bytes Build(const std::vector<Record>& records, long* status) {
  std::vector<NDEF_RECORD> flat;
  for (const auto& r : records) {
    flat.push_back({r.tnf, static_cast<std::uint8_t>(r.type.size()),
                    static_cast<std::uint8_t>(r.id.size()), r.type.data(), r.id.data(),
                    r.payload.data(), static_cast<std::uint32_t>(r.payload.size())});
  }
  Bytes message(4096);
  auto length = static_cast<std::uint32_t>(message.size());
  *status = NDEF_BuildMessage(flat.data(), static_cast<std::uint32_t>(flat.size()), message.data(),
                              &length);
  message.resize(*status == 0 ? length : 0);
  return message;
}

// Parses a message through NDEF_ParseMessage and NDEF_GetRecord.
std::vector<Record> Parse(const Bytes& message, long* status) {
  std::uint32_t count = 0;
  *status = NDEF_ParseMessage(message.data(), static_cast<std::uint32_t>(message.size()), &count);
  std::vector<Record> records;
  for (std::uint32_t i = 0; *status == 0 && i < count; ++i) {
    Record r;
    r.type.resize(255), r.id.resize(255), r.payload.resize(message.size());
    std::uint32_t typeLength = 255, idLength = 255;
    auto payloadLength = static_cast<std::uint32_t>(message.size());
    *status = NDEF_GetRecord(message.data(), static_cast<std::uint32_t>(message.size()), i, &r.tnf,
                             r.type.data(), &typeLength, r.id.data(), &idLength, r.payload.data(),
                             &payloadLength);
    r.type.resize(typeLength), r.id.resize(idLength), r.payload.resize(payloadLength);
    records.push_back(r);
  }
  return records;
}

Bytes TextPayload(const char* language, const std::string& text, bool utf16) {
  Bytes payload(512);
  auto length = static_cast<std::uint32_t>(payload.size());
  EXPECT_EQ(NDEF_BuildText(language, reinterpret_cast<const std::uint8_t*>(text.data()),
                           static_cast<std::uint32_t>(text.size()), utf16, payload.data(), &length),
            0);
  payload.resize(length);
  return payload;
}

Bytes UriPayload(const std::string& uri) {
  Bytes payload(512);
  auto length = static_cast<std::uint32_t>(payload.size());
  EXPECT_EQ(NDEF_BuildUri(reinterpret_cast<const std::uint8_t*>(uri.data()),
                          static_cast<std::uint32_t>(uri.size()), payload.data(), &length),
            0);
  payload.resize(length);
  return payload;
}

std::string DecodeUri(const Bytes& payload, long* status) {
  std::string uri(512, '\0');
  auto length = static_cast<std::uint32_t>(uri.size());
  *status = NDEF_DecodeUri(payload.data(), static_cast<std::uint32_t>(payload.size()),
                           reinterpret_cast<std::uint8_t*>(uri.data()), &length);
  uri.resize(*status == 0 ? length : 0);
  return uri;
}

struct DecodedText {
  std::string language, text;
  std::uint32_t utf16 = 2;
};

DecodedText DecodeText(const Bytes& payload, long* status) {
  DecodedText d{std::string(64, '\0'), std::string(512, '\0')};
  auto languageLength = static_cast<std::uint32_t>(d.language.size());
  auto textLength = static_cast<std::uint32_t>(d.text.size());
  *status = NDEF_DecodeText(payload.data(), static_cast<std::uint32_t>(payload.size()),
                            reinterpret_cast<std::uint8_t*>(d.language.data()), &languageLength,
                            reinterpret_cast<std::uint8_t*>(d.text.data()), &textLength, &d.utf16);
  d.language.resize(*status == 0 ? languageLength : 0);
  d.text.resize(*status == 0 ? textLength : 0);
  return d;
}

const Bytes kTextHello = {0xD1, 0x01, 0x08, 0x54, 0x02, 0x65, 0x6E, 0x68, 0x65, 0x6C, 0x6C, 0x6F};
const Bytes kUriExample = {0xD1, 0x01, 0x0C, 0x55, 0x04, 0x65, 0x78, 0x61,
                           0x6D, 0x70, 0x6C, 0x65, 0x2E, 0x63, 0x6F, 0x6D};
// Smart poster: a Text record "Libnfc" (en) and a URI record http://libnfc.org nested in "Sp".
const Bytes kSmartPoster = {0xD1, 0x02, 0x1C, 0x53, 0x70, 0x91, 0x01, 0x09, 0x54, 0x02, 0x65,
                            0x6E, 'L',  'i',  'b',  'n',  'f',  'c',  0x51, 0x01, 0x0B, 0x55,
                            0x03, 'l',  'i',  'b',  'n',  'f',  'c',  '.',  'o',  'r',  'g'};

TEST(NdefCodec, KnownAnswerMessagesBuildAndParse) {
  long status = -1;
  const Record text{NDEF_TNF_WELL_KNOWN, Of("T"), {}, TextPayload("en", "hello", false)};
  EXPECT_EQ(Build({text}, &status), kTextHello);
  const Record uri{NDEF_TNF_WELL_KNOWN, Of("U"), {}, UriPayload("https://example.com")};
  EXPECT_EQ(Build({uri}, &status), kUriExample);

  const Record inner[] = {{NDEF_TNF_WELL_KNOWN, Of("T"), {}, TextPayload("en", "Libnfc", false)},
                          {NDEF_TNF_WELL_KNOWN, Of("U"), {}, UriPayload("http://libnfc.org")}};
  const Bytes nested = Build({inner[0], inner[1]}, &status);
  ASSERT_EQ(status, 0);
  const Bytes poster = Build({{NDEF_TNF_WELL_KNOWN, Of("Sp"), {}, nested}}, &status);
  EXPECT_EQ(poster, kSmartPoster);
  ASSERT_EQ(poster.size(), 33u);

  // Parsing the poster and then its payload as a message gives the inner records back, decoded.
  const auto outer = Parse(kSmartPoster, &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(outer.size(), 1u);
  EXPECT_EQ(outer[0].type, Of("Sp"));
  const auto records = Parse(outer[0].payload, &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], inner[0]);
  EXPECT_EQ(records[1], inner[1]);
  const DecodedText decoded = DecodeText(records[0].payload, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(decoded.language, "en");
  EXPECT_EQ(decoded.text, "Libnfc");
  EXPECT_EQ(decoded.utf16, 0u);
  EXPECT_EQ(DecodeUri(records[1].payload, &status), "http://libnfc.org");
}

TEST(NdefCodec, RecordsOfEveryKindRoundTrip) {
  // MIME with an ID, an external type, an Android application record, an absolute URI, an empty
  // record, a payload long enough for the 4-byte length form.
  const std::vector<Record> records = {
      {NDEF_TNF_MEDIA, Of("text/vcard"), Of("card1"), Of("BEGIN:VCARD\r\nEND:VCARD\r\n")},
      {NDEF_TNF_EXTERNAL, Of("example.com:mytype"), {}, Of("data")},
      {NDEF_TNF_EXTERNAL, Of("android.com:pkg"), {}, Of("org.example.app")},
      {NDEF_TNF_ABSOLUTE_URI, Of("http://example.com/type"), {}, {}},
      {NDEF_TNF_EMPTY, {}, {}, {}},
      {NDEF_TNF_UNKNOWN, {}, {}, Bytes(300, 0xA5)},
  };
  long status = -1;
  const Bytes message = Build(records, &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(message[0], 0x9A);  // MB | SR | IL | media
  // The long payload: ME, no SR, TNF 5, type length 0, length 00 00 01 2C.
  const std::size_t last = message.size() - 300 - 6;
  EXPECT_EQ(Bytes(message.begin() + last, message.begin() + last + 6),
            (Bytes{0x45, 0x00, 0x00, 0x00, 0x01, 0x2C}));
  EXPECT_EQ(Parse(message, &status), records);
  EXPECT_EQ(status, 0);
}

TEST(NdefCodec, ChunkedRecordsAreJoined) {
  // "T" record in four chunks: MB|CF|SR|TNF1, then CF|SR|unchanged twice (the second empty), then
  // ME|SR|unchanged.
  const Bytes chunked = {0xB1, 0x01, 0x03, 'T',  0x02, 'e',  'n',  0x36, 0x00, 0x02, 'h',
                         'e',  0x36, 0x00, 0x00, 0x56, 0x00, 0x03, 'l',  'l',  'o'};
  long status = -1;
  const auto records = Parse(chunked, &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].tnf, NDEF_TNF_WELL_KNOWN);
  EXPECT_EQ(records[0].payload, (Bytes{0x02, 'e', 'n', 'h', 'e', 'l', 'l', 'o'}));
}

TEST(NdefCodec, MalformedMessagesNameTheFault) {
  struct Case {
    const char* name;
    Bytes message;
    long status;
  };
  const Case cases[] = {
      {"empty message", {}, NORVEX_E_NDEF_EMPTY_MESSAGE},
      {"header only", {0xD1}, NORVEX_E_NDEF_TRUNCATED},
      {"payload past the end", {0xD1, 0x01, 0x09, 0x54, 0x02, 0x65}, NORVEX_E_NDEF_TRUNCATED},
      {"long length cut", {0xC1, 0x01, 0x00, 0x00}, NORVEX_E_NDEF_TRUNCATED},
      {"huge long length", {0xC1, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x54}, NORVEX_E_NDEF_TRUNCATED},
      {"ID length missing", {0xD9, 0x01, 0x00}, NORVEX_E_NDEF_TRUNCATED},
      {"ID past the end", {0xD9, 0x00, 0x00, 0x05, 'a'}, NORVEX_E_NDEF_TRUNCATED},
      {"first record without MB", {0x51, 0x01, 0x00, 0x54}, NORVEX_E_NDEF_BAD_MESSAGE_FLAGS},
      {"second record with MB",
       {0x91, 0x01, 0x00, 0x54, 0xD1, 0x01, 0x00, 0x54},
       NORVEX_E_NDEF_BAD_MESSAGE_FLAGS},
      {"no ME on the last record", {0x91, 0x01, 0x00, 0x54}, NORVEX_E_NDEF_BAD_MESSAGE_FLAGS},
      {"bytes after ME", {0xD1, 0x01, 0x00, 0x54, 0x00}, NORVEX_E_NDEF_BAD_MESSAGE_FLAGS},
      {"chunk without its end", {0xB1, 0x01, 0x00, 0x54}, NORVEX_E_NDEF_UNFINISHED_CHUNK},
      {"ME inside a chunk", {0xF1, 0x01, 0x00, 0x54}, NORVEX_E_NDEF_UNFINISHED_CHUNK},
      {"middle chunk with a type",
       {0xB1, 0x01, 0x00, 0x54, 0x51, 0x01, 0x00, 0x54},
       NORVEX_E_NDEF_BAD_CHUNK},
      {"middle chunk with an ID",
       {0xB1, 0x01, 0x00, 0x54, 0x5E, 0x00, 0x00, 0x00},
       NORVEX_E_NDEF_BAD_CHUNK},
      {"unchanged outside a chunk", {0xD6, 0x00, 0x00}, NORVEX_E_NDEF_BAD_CHUNK},
      {"empty record with a type", {0xD0, 0x01, 0x00, 0x54}, NORVEX_E_NDEF_BAD_RECORD},
      {"unknown with a type", {0xD5, 0x01, 0x00, 0x54}, NORVEX_E_NDEF_BAD_RECORD},
      {"reserved TNF", {0xD7, 0x00, 0x00}, NORVEX_E_NDEF_BAD_RECORD},
      {"empty record with chunked payload",
       {0xB0, 0x00, 0x00, 0x56, 0x00, 0x01, 0x41},
       NORVEX_E_NDEF_BAD_RECORD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // An exact heap copy, so a read past the end is caught under AddressSanitizer.
    const auto exact = std::make_unique<std::uint8_t[]>(c.message.size());
    std::copy(c.message.begin(), c.message.end(), exact.get());
    std::uint32_t count = 77;
    EXPECT_EQ(NDEF_ParseMessage(exact.get(), static_cast<std::uint32_t>(c.message.size()), &count),
              c.status);
    EXPECT_EQ(count, 77u);
    std::uint8_t tnf = 0;
    std::uint32_t none = 0;
    EXPECT_EQ(NDEF_GetRecord(exact.get(), static_cast<std::uint32_t>(c.message.size()), 0, &tnf,
                             nullptr, &none, nullptr, &none, nullptr, &none),
              c.status);
  }
}

TEST(NdefCodec, BuildRefusesRecordsTheFormatCannotCarry) {
  const struct {
    const char* name;
    std::vector<Record> records;
    long status;
  } cases[] = {
      {"no records", {}, NORVEX_E_NDEF_EMPTY_MESSAGE},
      {"empty with payload", {{NDEF_TNF_EMPTY, {}, {}, Of("x")}}, NORVEX_E_NDEF_BAD_RECORD},
      {"unknown with type", {{NDEF_TNF_UNKNOWN, Of("T"), {}, {}}}, NORVEX_E_NDEF_BAD_RECORD},
      {"unchanged", {{6, {}, {}, Of("x")}}, NORVEX_E_NDEF_BAD_CHUNK},
      {"reserved", {{7, {}, {}, {}}}, NORVEX_E_NDEF_BAD_RECORD},
      {"TNF beyond 3 bits", {{9, Of("T"), {}, {}}}, NORVEX_E_NDEF_BAD_RECORD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    long status = 0;
    Build(c.records, &status);
    EXPECT_EQ(status, c.status);
  }
}

TEST(NdefCodec, UriPrefixTableRoundTrips) {
  const struct {
    const char* uri;
    std::uint8_t code;
  } cases[] = {
      {"https://example.com", 0x04},
      {"http://www.example.com", 0x01},
      {"tel:+123", 0x05},
      {"ftp://ftp.example.org/f", 0x08},
      {"ftp://example.org", 0x0D},
      {"ftp://anonymous:anonymous@h", 0x07},
      {"urn:epc:id:sgtin:1", 0x1E},
      {"urn:epc:x", 0x22},
      {"urn:nfc:wkt:U", 0x23},
      {"urn:isbn:1", 0x13},
      {"geo:1,2", 0x00},
      {"", 0x00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uri);
    const Bytes payload = UriPayload(c.uri);
    ASSERT_FALSE(payload.empty());
    EXPECT_EQ(payload[0], c.code);
    long status = -1;
    EXPECT_EQ(DecodeUri(payload, &status), c.uri);
    EXPECT_EQ(status, 0);
  }
  // Every code expands to its prefix and builds back to the same code; 0x24 is past the table.
  for (std::uint8_t code = 0; code <= 0x24; ++code) {
    long status = -1;
    const std::string uri = DecodeUri({code, 'x'}, &status);
    if (code == 0x24) {
      EXPECT_EQ(status, NORVEX_E_NDEF_BAD_PAYLOAD);
      continue;
    }
    EXPECT_EQ(UriPayload(uri), (Bytes{code, 'x'})) << int{code};
  }
  long status = -1;
  DecodeUri({}, &status);
  EXPECT_EQ(status, NORVEX_E_NDEF_BAD_PAYLOAD);
}

TEST(NdefCodec, TextInUtf8AndUtf16) {
  const std::string text = "h\xC3\xA9llo \xF0\x9F\x98\x80";  // "héllo 😀"
  const Bytes wide = TextPayload("fr", text, true);
  EXPECT_EQ(wide, (Bytes{0x82, 'f', 'r', 0, 'h', 0, 0xE9, 0, 'l', 0, 'l', 0, 'o', 0, ' ', 0xD8,
                         0x3D, 0xDE, 0x00}));
  long status = -1;
  DecodedText decoded = DecodeText(wide, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(decoded.language, "fr");
  EXPECT_EQ(decoded.text, text);
  EXPECT_EQ(decoded.utf16, 1u);
  // Little-endian with its byte order mark.
  decoded = DecodeText({0x82, 'd', 'e', 0xFF, 0xFE, 'h', 0, 0xE9, 0}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(decoded.text, "h\xC3\xA9");

  const struct {
    const char* name;
    Bytes payload;
  } badPayloads[] = {
      {"empty", {}},
      {"language past the end", {0x05, 'e', 'n'}},
      {"odd UTF-16", {0x82, 'e', 'n', 0, 'h', 0}},
      {"unpaired high surrogate", {0x82, 'e', 'n', 0xD8, 0x3D}},
      {"lone low surrogate", {0x82, 'e', 'n', 0xDE, 0x00, 0, 'a'}},
  };
  for (const auto& c : badPayloads) {
    SCOPED_TRACE(c.name);
    DecodeText(c.payload, &status);
    EXPECT_EQ(status, NORVEX_E_NDEF_BAD_PAYLOAD);
  }
  const struct {
    const char* name;
    std::string language, text;
  } badTexts[] = {
      {"no language", "", "x"},
      {"language of 64", std::string(64, 'a'), "x"},
      {"stray continuation", "en", "\x80"},
      {"overlong slash", "en", "\xC0\xAF"},
      {"surrogate in UTF-8", "en", "\xED\xA0\x80"},
      {"cut sequence", "en", "\xE2\x82"},
  };
  for (const auto& c : badTexts) {
    SCOPED_TRACE(c.name);
    for (std::uint32_t utf16 : {0u, 1u}) {
      Bytes payload(128);
      auto length = static_cast<std::uint32_t>(payload.size());
      EXPECT_EQ(
          NDEF_BuildText(c.language.c_str(), reinterpret_cast<const std::uint8_t*>(c.text.data()),
                         static_cast<std::uint32_t>(c.text.size()), utf16, payload.data(), &length),
          NORVEX_E_NDEF_BAD_PAYLOAD);
    }
  }
}

TEST(NdefCodec, CallerBuffersAndLengths) {
  // Too small: the size needed comes back and the buffer stays untouched.
  Bytes small(11, 0xEE);
  std::uint32_t length = 11;
  const Bytes payload = TextPayload("en", "hello", false);
  const NDEF_RECORD text = {NDEF_TNF_WELL_KNOWN,
                            1,
                            0,
                            reinterpret_cast<const std::uint8_t*>("T"),
                            nullptr,
                            payload.data(),
                            static_cast<std::uint32_t>(payload.size())};
  EXPECT_EQ(NDEF_BuildMessage(&text, 1, small.data(), &length), NORVEX_E_WRONG_BUFFER_SIZE);
  EXPECT_EQ(length, 12u);
  EXPECT_EQ(small, Bytes(11, 0xEE));
  // A null buffer of size 0 asks for the size.
  length = 0;
  EXPECT_EQ(NDEF_BuildMessage(&text, 1, nullptr, &length), NORVEX_E_WRONG_BUFFER_SIZE);
  EXPECT_EQ(length, 12u);

  // GetRecord is all or nothing: a short payload buffer reports every size and writes nothing.
  std::uint8_t tnf = 0xEE, type[4] = {0xEE};
  std::uint32_t typeLength = 4, idLength = 0, payloadLength = 3;
  std::uint8_t out[3] = {0xEE, 0xEE, 0xEE};
  EXPECT_EQ(NDEF_GetRecord(kTextHello.data(), 12, 0, &tnf, type, &typeLength, nullptr, &idLength,
                           out, &payloadLength),
            NORVEX_E_WRONG_BUFFER_SIZE);
  EXPECT_EQ(typeLength, 1u);
  EXPECT_EQ(payloadLength, 8u);
  EXPECT_EQ(tnf, 0xEE);
  EXPECT_EQ(type[0], 0xEE);
  EXPECT_EQ(out[2], 0xEE);

  // Null pointers the call needs, a buffer size with a null buffer and an index past the end.
  std::uint32_t count = 0, size = 4;
  EXPECT_EQ(NDEF_ParseMessage(kTextHello.data(), 12, nullptr), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(NDEF_ParseMessage(nullptr, 12, &count), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(NDEF_BuildMessage(&text, 1, nullptr, &size), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(NDEF_BuildMessage(nullptr, 1, small.data(), &length), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(NDEF_BuildText(nullptr, payload.data(), 1, 0, small.data(), &length),
            NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(NDEF_GetRecord(kTextHello.data(), 12, 1, &tnf, type, &typeLength, nullptr, &idLength,
                           out, &payloadLength),
            NORVEX_E_WRONG_PARAMETER_VALUE);
}

}  // namespace
