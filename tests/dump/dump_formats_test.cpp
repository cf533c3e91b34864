// SPDX-License-Identifier: MIT
// Dump files: every format round-trips a full 4K image; files as other tools write them load;
// malformed files give one error naming the line or offset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "dump/DumpFormats.h"
#include "dump/JsonValue.h"

using namespace norvex::dump;

namespace {

std::string repeat(const std::string& line, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += line + "\n";
  return text;
}

const std::string kZeroBlock(32, '0');
const std::string kTrailer = "FFFFFFFFFFFFFF078069FFFFFFFFFFFF";

std::string mctSector(int sector, std::size_t blocks = 4) {
  return "+Sector: " + std::to_string(sector) + "\n" + repeat(kZeroBlock, blocks - 1) + kTrailer +
         "\n";
}

// A 4K image with every byte distinct from its neighbours; with holes when the format keeps them:
// sector 5 entirely unread, and the key A of sector 35's trailer unread.
CardImage sampleImage(bool withHoles, bool withIdentity) {
  CardImage image(CardSize::Classic4K);
  for (std::size_t i = 0; i < image.byteCount(); ++i)
    image.setByte(i, static_cast<uint8_t>(i * 7 + i / 256));
  if (withHoles) {
    for (std::size_t i = 0; i < 64; ++i) image.forgetByte(firstBlockOfSector(5) * 16 + i);
    std::size_t trailer = firstBlockOfSector(35) + blocksInSector(35) - 1;
    for (std::size_t i = 0; i < 6; ++i) image.forgetByte(trailer * 16 + i);
  }
  if (withIdentity) {
    // The keys found are those the trailers hold, as a dump of a card records them.
    image.uid = {0xDE, 0xAD, 0xBE, 0xEF};
    image.atqa = std::array<uint8_t, 2>{0x00, 0x02};
    image.sak = 0x18;
    image.keys.assign(image.sectorCount(), {});
    for (std::size_t sector = 0; sector < image.sectorCount(); ++sector) {
      std::size_t trailer = (firstBlockOfSector(sector) + blocksInSector(sector) - 1) * 16;
      SectorKeys& keys = image.keys[sector];
      for (auto [key, offset] : {std::pair{&keys.a, 0}, {&keys.b, 10}}) {
        if (!image.isKnown(trailer + offset)) continue;
        Key bytes{};
        for (std::size_t i = 0; i < 6; ++i) bytes[i] = image.byte(trailer + offset + i);
        *key = bytes;
      }
    }
  }
  return image;
}

}  // namespace

TEST(DumpFormats, EveryFormatRoundTripsAFull4KImage) {
  for (DumpFormat format : {DumpFormat::Raw, DumpFormat::Json, DumpFormat::Mct, DumpFormat::Eml}) {
    SCOPED_TRACE(formatName(format));
    bool holes = formatKeepsUnreadBytes(format);
    CardImage image = sampleImage(holes, format == DumpFormat::Json);
    auto parsed = parseDump(format, writeDump(format, image));
    ASSERT_TRUE(parsed.value) << parsed.error;
    EXPECT_TRUE(*parsed.value == image);
  }
}

TEST(DumpFormats, UnreadBytesBecomeZeroWhereTheFormatCannotMarkThem) {
  CardImage image = sampleImage(true, false);
  for (DumpFormat format : {DumpFormat::Raw, DumpFormat::Eml}) {
    auto parsed = parseDump(format, writeDump(format, image));
    ASSERT_TRUE(parsed.value) << parsed.error;
    EXPECT_TRUE(parsed.value->blockKnown(firstBlockOfSector(5)));
    EXPECT_EQ(parsed.value->byte(firstBlockOfSector(5) * 16), 0);
  }
}

// Files written from the formats' documented layouts, as other tools produce them.
TEST(DumpFormats, OtherToolsFilesLoad) {
  // MCT: a 1K dump whose sector 2 could not be read (left out), key A shown as unread.
  std::string mct;
  for (int sector = 0; sector < 16; ++sector)
    if (sector != 2) mct += mctSector(sector);
  mct.replace(mct.find(kTrailer), 12, std::string(12, '-'));
  auto parsed = parseMct(mct);
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(parsed.value->size(), CardSize::Classic1K);
  EXPECT_TRUE(parsed.value->blockUnknown(8));
  EXPECT_FALSE(parsed.value->isKnown(3 * 16));
  EXPECT_TRUE(parsed.value->isKnown(3 * 16 + 6));

  // MCT of a Mini card: five sectors, SAK 09 in the manufacturer block; CRLF line ends.
  std::string mini;
  for (int sector = 0; sector < 5; ++sector) mini += mctSector(sector);
  mini.replace(mini.find(kZeroBlock), 32, "CAFEBABE5A0904000000000000000000");
  for (std::size_t at = mini.find('\n'); at != std::string::npos; at = mini.find('\n', at + 2))
    mini.insert(at, "\r");
  parsed = parseMct(mini);
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(parsed.value->size(), CardSize::Mini);

  // EML: 64 lines of lower-case hex, no final line end, "#" comment lines anywhere.
  std::string eml = "# emulator memory\n" + repeat("00112233445566778899aabbccddeeff", 32) +
                    "# second half\n" + repeat("00112233445566778899aabbccddeeff", 32);
  eml.pop_back();
  parsed = parseEml(eml);
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(parsed.value->byte(1023), 0xFF);
}

// A Proxmark3 "mfc v2" file as its client writes one (2-space indent, upper-case hex, ATQA as the
// card sends it, AccessConditionsText beside the keys), and MIFARE Classic Tool's JSON export
// ("mfcard", blocks only, block numbers 4 * sector, "-" for unread digits).
TEST(DumpFormats, JsonOfOtherToolsLoads) {
  std::string pm3 =
      "{\n  \"Created\": \"proxmark3\",\n  \"FileType\": \"mfc v2\",\n  \"Card\": {\n"
      "    \"UID\": \"04A1B2C3\",\n    \"ATQA\": \"0400\",\n"
      "    \"SAK\": \"08\"\n  },\n"
      "  \"blocks\": {\n";
  for (int block = 0; block < 64; ++block) {
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02X", (block * 16 + i) & 0xFF);
    std::string data = block % 4 == 3 ? "A0A1A2A3A4A5FF078069B0B1B2B3B4B5" : hex;
    pm3 += "    \"" + std::to_string(block) + "\": \"" + data + (block < 63 ? "\",\n" : "\"\n");
  }
  pm3 +=
      "  },\n  \"SectorKeys\": {\n    \"0\": {\n      \"KeyA\": \"A0A1A2A3A4A5\",\n"
      "      \"KeyB\": \"B0B1B2B3B4B5\",\n      \"AccessConditions\": \"FF078069\",\n"
      "      \"AccessConditionsText\": {\n"
      "        \"block0\": \"read AB; write AB; increment AB; "
      "decrement transfer restore AB\",\n        \"UserData\": \"69\"\n      }\n    }\n  }\n}\n";
  auto parsed = parseJson(pm3);
  ASSERT_TRUE(parsed.value) << parsed.error;
  const CardImage& card = *parsed.value;
  EXPECT_EQ(card.size(), CardSize::Classic1K);
  EXPECT_EQ(card.uid, (std::vector<uint8_t>{0x04, 0xA1, 0xB2, 0xC3}));
  EXPECT_EQ(card.atqa, (std::array<uint8_t, 2>{0x00, 0x04}));
  EXPECT_EQ(card.sak, 0x08);
  EXPECT_EQ(card.byte(5 * 16 + 7), 5 * 16 + 7);
  EXPECT_EQ(card.block(7), (Block{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xFF, 0x07, 0x80, 0x69, 0xB0,
                                  0xB1, 0xB2, 0xB3, 0xB4, 0xB5}));
  ASSERT_EQ(card.keys.size(), 16u);
  EXPECT_EQ(card.keys[0].b, (Key{0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}));

  // MCT: sector 1 not read (left out), key A of sector 0 unknown; a 4K card by its block 128.
  std::string mct =
      "{\n  \"Created\": \"MifareClassicTool\",\n  \"FileType\": \"mfcard\",\n"
      "  \"blocks\": {\n    \"0\": \"" +
      std::string(32, 'a') +
      "\",\n"
      "    \"3\": \"------------FF078069FFFFFFFFFFFF\",\n"
      "    \"8\": \"" +
      kZeroBlock + "\",\n    \"128\": \"" + kTrailer + "\"\n  }\n}";
  parsed = parseJson(mct);
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(parsed.value->size(), CardSize::Classic4K);
  EXPECT_EQ(parsed.value->byte(0), 0xAA);
  EXPECT_FALSE(parsed.value->isKnown(3 * 16));
  EXPECT_EQ(parsed.value->byte(3 * 16 + 6), 0xFF);
  EXPECT_TRUE(parsed.value->blockUnknown(4));
  EXPECT_TRUE(parsed.value->blockKnown(128));
  EXPECT_TRUE(parsed.value->keys.empty());
}

// Files this program wrote before: "blocks" as an array, lower-case identity members, "keys".
TEST(DumpFormats, EarlierJsonLayoutStillLoads) {
  std::string json =
      "{\n  \"uid\": \"DEADBEEF\",\n  \"atqa\": \"0004\",\n  \"sak\": \"08\",\n"
      "  \"blocks\": [\n";
  for (int block = 0; block < 64; ++block)
    json += block == 9 ? "    null,\n" : "    \"" + (block == 7 ? kTrailer : kZeroBlock) + "\",\n";
  json.replace(json.size() - 2, 1, "");
  json +=
      "  ],\n  \"keys\": [\n"
      "    {\"sector\": 1, \"a\": \"FFFFFFFFFFFF\", \"b\": null}\n  ]\n}\n";
  auto parsed = parseJson(json);
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(parsed.value->atqa, (std::array<uint8_t, 2>{0x00, 0x04}));
  EXPECT_TRUE(parsed.value->blockUnknown(9));
  EXPECT_EQ(parsed.value->byte(7 * 16 + 7), 0x07);
  EXPECT_EQ(parsed.value->keys[1].a, (Key{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_FALSE(parsed.value->keys[1].b);
}

TEST(DumpFormats, MalformedFilesNameTheLineOrOffset) {
  std::string eml64 = repeat(kZeroBlock, 64);
  std::string mct1k;
  for (int sector = 0; sector < 16; ++sector) mct1k += mctSector(sector);
  std::string jsonBlocks = "{\"blocks\": [\n" + repeat("\"" + kZeroBlock + "\",", 63) + "null\n]}";
  struct Case {
    const char* what;
    DumpFormat format;
    std::string text;
    const char* error;
  } cases[] = {
      {"raw truncated", DumpFormat::Raw, std::string(1000, '\0'), "offset 1000: the file ends"},
      {"raw over-long", DumpFormat::Raw, std::string(4097, '\0'), "offset 4096: 1 bytes beyond"},
      {"raw empty", DumpFormat::Raw, "", "offset 0"},
      {"eml truncated", DumpFormat::Eml, repeat(kZeroBlock, 63), "line 64: the file ends after 63"},
      {"eml over-long", DumpFormat::Eml, repeat(kZeroBlock, 257), "line 257: more blocks"},
      {"eml non-hex", DumpFormat::Eml, eml64.replace(2 * 33 + 4, 1, "x"),
       "line 3: column 5: 'x' is not a hex digit"},
      {"eml short line", DumpFormat::Eml, std::string(eml64).replace(33, 2, ""),
       "line 2: 30 characters"},
      {"eml blank line inside", DumpFormat::Eml, "\n" + repeat(kZeroBlock, 64),
       "line 1: 0 characters"},
      {"mct block before header", DumpFormat::Mct, kZeroBlock + "\n" + mct1k,
       "line 1: block data before"},
      {"mct sectors mixed up", DumpFormat::Mct, mctSector(1) + mctSector(0),
       "line 6: sector 0 after sector 1"},
      {"mct duplicate sector", DumpFormat::Mct, mctSector(0) + mctSector(0),
       "line 6: sector 0 after sector 0"},
      {"mct truncated", DumpFormat::Mct, mctSector(0, 3), "line 1: sector 0 has 3 block lines"},
      {"mct over-long sector", DumpFormat::Mct, mctSector(0, 5), "line 6: more than 4 blocks"},
      {"mct sector 40", DumpFormat::Mct, mctSector(40), "line 1: sector 40 is beyond"},
      {"mct bad header", DumpFormat::Mct, "+Sector: x\n", "line 1: a sector header"},
      {"mct half-unread byte", DumpFormat::Mct, "+Sector: 0\n-" + kZeroBlock.substr(1) + "\n",
       "line 2: column 1: half of a byte"},
      {"mct empty", DumpFormat::Mct, "", "no \"+Sector:\" line"},
      {"json truncated", DumpFormat::Json, jsonBlocks.substr(0, 200), "line 7: a string without"},
      {"json 63 blocks", DumpFormat::Json, "{\"blocks\": [\n" + repeat("null,", 62) + "null\n]}",
       "line 1: \"blocks\" has 63 entries"},
      {"json bad block", DumpFormat::Json,
       std::string(jsonBlocks).replace(jsonBlocks.find("\"0000"), 3, "\"0G"),
       "line 2: block 0: column 2: 'G' is not a hex digit"},
      {"json block not a string", DumpFormat::Json,
       std::string(jsonBlocks).replace(jsonBlocks.rfind("null"), 4, "17"),
       "line 65: block 63 must be"},
      {"json no blocks", DumpFormat::Json, "{\"uid\": \"01020304\"}", "line 1: no \"blocks\""},
      {"json bad uid", DumpFormat::Json, "{\"uid\": \"010203\",\n" + jsonBlocks.substr(1),
       "line 1: \"uid\" is not a hex string"},
      {"json bad key sector", DumpFormat::Json,
       jsonBlocks.substr(0, jsonBlocks.size() - 1) +
           ",\n\"keys\": [{\"sector\": 16, \"a\": null}]}",
       "line 67: a key entry needs"},
      {"json deep nesting", DumpFormat::Json, std::string(100, '['), "nested too deeply"},
      {"json block name", DumpFormat::Json, "{\"blocks\": {\"0x1\": \"" + kZeroBlock + "\"}}",
       "line 1: \"0x1\" is not a block number"},
      {"json block 256", DumpFormat::Json, "{\"blocks\": {\"256\": null}}",
       "is not a block number"},
      {"json block twice", DumpFormat::Json,
       "{\"blocks\": {\"1\": null,\n\"1\": \"" + kZeroBlock + "\"}}",
       "line 2: block 1 appears twice"},
      {"json short block", DumpFormat::Json, "{\"blocks\": {\"4\": \"00\"}}",
       "line 1: block 4: 2 characters"},
      {"json ultralight", DumpFormat::Json, "{\"FileType\": \"mfu\", \"blocks\": {}}",
       "line 1: \"FileType\" \"mfu\" is not a Mifare Classic dump"},
      {"json sector 16 of a 1K", DumpFormat::Json,
       "{\"blocks\": {\"0\": null},\n\"SectorKeys\": {\"16\": {\"KeyA\": \"FFFFFFFFFFFF\"}}}",
       "line 2: \"SectorKeys\" holds an object per sector number"},
      {"json bad KeyB", DumpFormat::Json,
       "{\"blocks\": {},\n\"SectorKeys\": {\"1\": {\n\"KeyB\": \"FFFF\"}}}",
       "line 3: \"KeyB\" is not a hex string"},
      {"json blocks a string", DumpFormat::Json, "{\"blocks\": \"x\"}",
       "\"blocks\" must be an object"},
      {"json trailing text", DumpFormat::Json, jsonBlocks + "\n}", "line 67: text after"},
      {"mct given to json", DumpFormat::Json, mct1k, "line 1: a JSON value expected"},
      {"json given to mct", DumpFormat::Mct, jsonBlocks, "line 1: block data before"},
      {"mct given to eml", DumpFormat::Eml, mct1k, "line 1: 10 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto parsed = parseDump(c.format, c.text);
    EXPECT_FALSE(parsed.value);
    EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
  }
}

TEST(DumpFormats, ExtensionChoosesTheFormat) {
  struct Case {
    const char* path;
    std::optional<DumpFormat> format;
  } cases[] = {
      {"card.mfd", DumpFormat::Raw}, {"x/CARD.BIN", DumpFormat::Raw}, {"a.json", DumpFormat::Json},
      {"a.mct", DumpFormat::Mct},    {"a.txt", DumpFormat::Mct},      {"a.eml", DumpFormat::Eml},
      {"a.dump", std::nullopt},      {"dir.mfd/card", std::nullopt},  {"card", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(formatOfPath(c.path), c.format) << c.path;
}

// The one JSON writer of the programs: integral numbers keep every digit (a 32-bit value, a
// negative one), a number JSON cannot hold is null, strings are escaped, empty containers close
// on their line; one line for events, indented for files and listings.
TEST(DumpFormats, JsonWriterWritesNumbersStringsAndBothLayouts) {
  JsonValue numbers = JsonValue::array();
  for (double number : {-4234.0, 4294967295.0, 0.5, std::nan("")}) numbers.push(jsonNumber(number));
  JsonValue value = JsonValue::object();
  value.add("numbers", numbers)
      .add("text", jsonString("a\"b\\c\n\x01"))
      .add("bytes", jsonHex(std::vector<uint8_t>{0x0A, 0xFF}.data(), 2))
      .add("empty", JsonValue::object())
      .add("none", JsonValue{})
      .add("yes", jsonBool(true));
  const std::pair<JsonLayout, std::string> cases[] = {
      {JsonLayout::OneLine,
       R"({"numbers": [-4234, 4294967295, 0.5, null], "text": "a\"b\\c\u000a\u0001", )"
       R"("bytes": "0AFF", "empty": {}, "none": null, "yes": true})"
       "\n"},
      {JsonLayout::Indented, R"({
  "numbers": [
    -4234,
    4294967295,
    0.5,
    null
  ],
  "text": "a\"b\\c\u000a\u0001",
  "bytes": "0AFF",
  "empty": {},
  "none": null,
  "yes": true
}
)"}};
  for (const auto& [layout, text] : cases) EXPECT_EQ(writeJsonText(value, layout), text);
}
