// SPDX-License-Identifier: MIT
// JSON dumps in the layout Mifare Classic card tools exchange (written by the Proxmark3 client as
// "FileType": "mfc v2", exported by MIFARE Classic Tool as "mfcard"):
//
//   {"Created": "norvex", "FileType": "mfc v2",
//    "Card": {"UID": "04A1B2C3", "ATQA": "0400", "SAK": "08"},
//    "blocks": {"0": "<32 hex digits>", "1": ..., ...},
//    "SectorKeys": {"0": {"KeyA": "<12>", "KeyB": "<12>", "AccessConditions": "<8>"}, ...}}
//
// ATQA is written as the card sends it, least significant byte first. A block not read whole is
// left out of "blocks", so that a reader which stops at the first missing block loads less, never
// wrong data; the keys and access bytes of a trailer read only in part stay in "SectorKeys".
// Reading also takes "-" digits for unread bytes, as MIFARE Classic Tool writes them, files
// without "Card" or "SectorKeys", and this program's first layout ("blocks" as an array).
#include <algorithm>
#include <charconv>

#include "dump/HexLines.h"
#include "dump/JsonFields.h"

namespace norvex::dump {

namespace {

using Result = Parsed<CardImage>;

constexpr std::size_t kMaxBlocks = static_cast<std::size_t>(CardSize::Classic4K) / kBlockSize;
constexpr std::size_t kKeyAOffset = 0, kAccessOffset = 6, kKeyBOffset = 10;

// A member name that is a decimal number below `limit`.
std::optional<std::size_t> numberedName(const std::string& name, std::size_t limit) {
  std::size_t number = 0;
  auto [end, status] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (status != std::errc() || end != name.data() + name.size() || name.empty() || number >= limit)
    return std::nullopt;
  return number;
}

struct NumberedBlock {
  std::size_t number;
  std::vector<std::optional<uint8_t>> bytes;
};

Parsed<std::vector<NumberedBlock>> readBlockMap(const JsonValue& blocks) {
  using Blocks = Parsed<std::vector<NumberedBlock>>;
  std::vector<NumberedBlock> found;
  std::vector<bool> seen(kMaxBlocks, false);
  for (const JsonMember& member : blocks.members) {
    auto number = numberedName(member.name, kMaxBlocks);
    if (!number)
      return Blocks::failure(
          jsonError(member.value, "\"" + member.name + "\" is not a block number (0 to 255)"));
    const std::string block = "block " + member.name;
    if (seen[*number]) return Blocks::failure(jsonError(member.value, block + " appears twice"));
    seen[*number] = true;
    if (member.value.kind == JsonValue::Kind::Null) continue;
    if (member.value.kind != JsonValue::Kind::String)
      return Blocks::failure(jsonError(member.value, block + " must be a hex string or null"));
    std::string error;
    auto bytes = parseHexBytes(member.value.string, kBlockSize, true, error);
    if (!bytes) return Blocks::failure(jsonError(member.value, block + ": " + error));
    found.push_back({*number, std::move(*bytes)});
  }
  return {std::move(found), {}};
}

std::optional<CardSize> sizeOfSak(uint8_t sak) {
  switch (sak) {
    case 0x09:
      return CardSize::Mini;
    case 0x08:
      return CardSize::Classic1K;
    case 0x18:
      return CardSize::Classic4K;
    default:
      return std::nullopt;
  }
}

// The highest block present decides, unless the SAK (of "Card", else of block 0) names a larger
// card: a partial dump of a 4K card stays a 4K image.
CardSize sizeOf(const std::vector<NumberedBlock>& blocks, std::optional<uint8_t> sak) {
  std::size_t highest = 0;
  for (const NumberedBlock& block : blocks) highest = std::max(highest, block.number);
  CardSize size = highest >= 64 ? CardSize::Classic4K : CardSize::Classic1K;
  auto block0 = std::find_if(blocks.begin(), blocks.end(),
                             [](const NumberedBlock& block) { return block.number == 0; });
  if (!sak && block0 != blocks.end()) sak = block0->bytes[5];
  auto named = sak ? sizeOfSak(*sak) : std::nullopt;
  if (named == CardSize::Mini && highest < 20) return CardSize::Mini;
  if (named && static_cast<std::size_t>(*named) > static_cast<std::size_t>(size)) return *named;
  return size;
}

std::string readCard(const JsonValue& root, CardImage& image) {
  const JsonValue* card = root.member("Card");
  if (card == nullptr) return {};
  if (card->kind != JsonValue::Kind::Object) return jsonError(*card, "\"Card\" must be an object");
  std::string error;
  auto uid = hexMember(*card, "UID", {4, 7, 10}, error);
  auto atqa = hexMember(*card, "ATQA", {2}, error);
  if (!uid || !atqa) return error;
  image.uid = *uid;
  if (!atqa->empty()) image.atqa = std::array<uint8_t, 2>{(*atqa)[1], (*atqa)[0]};
  return {};
}

// Keys into image.keys; keys and access bytes also fill trailer bytes the blocks left unread.
std::string readSectorKeys(const JsonValue& root, CardImage& image) {
  const JsonValue* sectors = root.member("SectorKeys");
  if (sectors == nullptr || (sectors->kind == JsonValue::Kind::Object && sectors->members.empty()))
    return {};
  if (sectors->kind != JsonValue::Kind::Object)
    return jsonError(*sectors, "\"SectorKeys\" must be an object");
  image.keys.assign(image.sectorCount(), {});
  for (const JsonMember& member : sectors->members) {
    auto sector = numberedName(member.name, image.sectorCount());
    if (!sector || member.value.kind != JsonValue::Kind::Object)
      return jsonError(member.value,
                       "\"SectorKeys\" holds an object per sector number of the card, "
                       "not \"" +
                           member.name + "\"");
    std::string error;
    auto a = hexMember(member.value, kKeyAName, {6}, error);
    auto b = hexMember(member.value, kKeyBName, {6}, error);
    auto access = hexMember(member.value, kAccessConditionsName, {4}, error);
    if (!a || !b || !access) return error;
    const std::size_t trailer =
        (firstBlockOfSector(*sector) + blocksInSector(*sector) - 1) * kBlockSize;
    for (auto [bytes, offset] : {std::pair{&*a, kKeyAOffset}, std::pair{&*b, kKeyBOffset},
                                 std::pair{&*access, kAccessOffset}})
      for (std::size_t i = 0; i < bytes->size(); ++i)
        if (!image.isKnown(trailer + offset + i)) image.setByte(trailer + offset + i, (*bytes)[i]);
    SectorKeys& keys = image.keys[*sector];
    if (!a->empty()) std::copy(a->begin(), a->end(), keys.a.emplace().begin());
    if (!b->empty()) std::copy(b->begin(), b->end(), keys.b.emplace().begin());
  }
  return {};
}

Result readFileType(const JsonValue& root) {
  const JsonValue* type = root.member("FileType");
  if (type == nullptr) return {};
  for (const char* classic : {"mfcard", "mfc v2", "mfc v3"})
    if (type->kind == JsonValue::Kind::String && type->string == classic) return {};
  return Result::failure(
      jsonError(*type, "\"FileType\" " +
                           (type->kind == JsonValue::Kind::String ? jsonQuoted(type->string)
                                                                  : std::string("(not a string)")) +
                           " is not a Mifare Classic dump"));
}

}  // namespace

Parsed<CardImage> parseJsonBlockMap(const JsonValue& root) {
  if (Result type = readFileType(root); !type.error.empty()) return type;
  auto blocks = readBlockMap(*root.member("blocks"));
  if (!blocks.value) return Result::failure(blocks.error);
  std::string error;
  const JsonValue* card = root.member("Card");
  auto sak = card != nullptr && card->kind == JsonValue::Kind::Object
                 ? hexMember(*card, "SAK", {1}, error)
                 : std::vector<uint8_t>{};
  if (!sak) return Result::failure(error);
  CardImage image(
      sizeOf(*blocks.value, sak->empty() ? std::nullopt : std::optional<uint8_t>((*sak)[0])));
  if (!sak->empty()) image.sak = (*sak)[0];
  // The size covers the highest block, so every block has its place.
  for (const NumberedBlock& block : *blocks.value)
    storeBytes(image, block.number * kBlockSize, block.bytes);
  error = readCard(root, image);
  if (error.empty()) error = readSectorKeys(root, image);
  if (!error.empty()) return Result::failure(error);
  return {std::move(image), {}};
}

Parsed<CardImage> parseJson(std::string_view text) {
  auto root = parseJsonValue(text);
  if (!root.value) return Result::failure(root.error);
  if (root.value->kind != JsonValue::Kind::Object)
    return Result::failure(jsonError(*root.value, "a dump is a JSON object"));
  const JsonValue* blocks = root.value->member("blocks");
  if (blocks == nullptr) return Result::failure(jsonError(*root.value, "no \"blocks\" member"));
  if (blocks->kind == JsonValue::Kind::Array) return parseJsonBlockList(*root.value);
  if (blocks->kind == JsonValue::Kind::Object) return parseJsonBlockMap(*root.value);
  return Result::failure(jsonError(*blocks, "\"blocks\" must be an object (or an array)"));
}

namespace {

// A key found, else the trailer bytes at offset when every one was read, else nothing.
std::optional<JsonValue> keyOrTrailerBytes(const CardImage& image, std::size_t offset,
                                           std::size_t length, const std::optional<Key>& key) {
  if (key) return jsonHex(key->data(), key->size());
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i < length; ++i) {
    if (!image.isKnown(offset + i)) return std::nullopt;
    bytes.push_back(image.byte(offset + i));
  }
  return jsonHex(bytes.data(), bytes.size());
}

JsonValue sectorKeysJson(const CardImage& image, std::size_t sector) {
  const std::size_t trailer =
      (firstBlockOfSector(sector) + blocksInSector(sector) - 1) * kBlockSize;
  const SectorKeys keys = sector < image.keys.size() ? image.keys[sector] : SectorKeys{};
  struct Field {
    const char* name;
    std::size_t offset, length;
    std::optional<Key> key;
  };
  JsonValue members = JsonValue::object();
  for (const Field& field :
       {Field{kKeyAName, kKeyAOffset, 6, keys.a}, Field{kKeyBName, kKeyBOffset, 6, keys.b},
        Field{kAccessConditionsName, kAccessOffset, 4, std::nullopt}})
    if (auto bytes = keyOrTrailerBytes(image, trailer + field.offset, field.length, field.key))
      members.add(field.name, std::move(*bytes));
  return members;
}

}  // namespace

std::string writeJson(const CardImage& image) {
  JsonValue root = JsonValue::object();
  root.add("Created", jsonString("norvex")).add("FileType", jsonString("mfc v2"));
  JsonValue card = JsonValue::object();
  if (!image.uid.empty()) card.add("UID", jsonHex(image.uid.data(), image.uid.size()));
  if (image.atqa) {
    const uint8_t sent[2] = {(*image.atqa)[1], (*image.atqa)[0]};
    card.add("ATQA", jsonHex(sent, 2));
  }
  if (image.sak) card.add("SAK", jsonHex(&*image.sak, 1));
  if (!card.members.empty()) root.add("Card", std::move(card));
  JsonValue blocks = JsonValue::object();
  for (std::size_t block = 0; block < image.blockCount(); ++block)
    if (image.blockKnown(block))
      blocks.add(std::to_string(block), jsonString(blockHex(image, block, false)));
  JsonValue sectors = JsonValue::object();
  for (std::size_t sector = 0; sector < image.sectorCount(); ++sector)
    if (JsonValue members = sectorKeysJson(image, sector); !members.members.empty())
      sectors.add(std::to_string(sector), std::move(members));
  root.add("blocks", std::move(blocks)).add("SectorKeys", std::move(sectors));
  return writeJsonText(root, JsonLayout::Indented);
}

}  // namespace norvex::dump
