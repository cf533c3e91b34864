// SPDX-License-Identifier: MIT
// JSON dumps: an object with the card's "uid", "atqa" and "sak" (hex strings), "blocks" (one hex
// string per block, null for an unread block, "--" for an unread byte) and "keys" (per sector the
// key A and key B found, null when none was). Members this reader does not know are ignored.
#include "dump/DumpFormats.h"
#include "dump/HexLines.h"
#include "dump/JsonValue.h"

namespace norvex::dump {

namespace {

using Result = Parsed<CardImage>;

std::string at(const JsonValue& value, const std::string& message) {
  return "line " + std::to_string(value.line) + ": " + message;
}

// A hex string member of exactly one of the lengths given (bytes); absent or null gives nothing.
std::optional<std::vector<uint8_t>> hexMember(const JsonValue& object, const char* name,
                                              std::initializer_list<std::size_t> lengths,
                                              std::string& error) {
  const JsonValue* member = object.member(name);
  if (member == nullptr || member->kind == JsonValue::Kind::Null) return std::vector<uint8_t>{};
  if (member->kind != JsonValue::Kind::String) {
    error = at(*member, std::string("\"") + name + "\" must be a hex string");
    return std::nullopt;
  }
  for (std::size_t length : lengths) {
    if (member->string.size() != 2 * length) continue;
    std::string hexError;
    auto bytes = parseHexBytes(member->string, length, false, hexError);
    if (!bytes) break;
    std::vector<uint8_t> out;
    for (const auto& byte : *bytes) out.push_back(*byte);
    return out;
  }
  error = at(*member, std::string("\"") + name + "\" is not a hex string of the right length");
  return std::nullopt;
}

std::string readIdentity(const JsonValue& root, CardImage& image) {
  std::string error;
  auto uid = hexMember(root, "uid", {4, 7, 10}, error);
  auto atqa = hexMember(root, "atqa", {2}, error);
  auto sak = hexMember(root, "sak", {1}, error);
  if (!uid || !atqa || !sak) return error;
  image.uid = *uid;
  if (!atqa->empty()) image.atqa = std::array<uint8_t, 2>{(*atqa)[0], (*atqa)[1]};
  if (!sak->empty()) image.sak = (*sak)[0];
  return {};
}

std::string readBlocks(const JsonValue& blocks, CardImage& image) {
  for (std::size_t index = 0; index < blocks.items.size(); ++index) {
    const JsonValue& item = blocks.items[index];
    if (item.kind == JsonValue::Kind::Null) continue;
    std::string error = "block " + std::to_string(index) + " must be a hex string or null";
    if (item.kind != JsonValue::Kind::String) return at(item, error);
    auto bytes = parseHexBytes(item.string, kBlockSize, true, error);
    if (!bytes) return at(item, "block " + std::to_string(index) + ": " + error);
    storeBytes(image, index * kBlockSize, *bytes);
  }
  return {};
}

std::string readKeys(const JsonValue& keys, CardImage& image) {
  if (keys.kind != JsonValue::Kind::Array) return at(keys, "\"keys\" must be an array");
  if (keys.items.empty()) return {};
  image.keys.assign(image.sectorCount(), {});
  for (const JsonValue& entry : keys.items) {
    const JsonValue* sector = entry.member("sector");
    if (entry.kind != JsonValue::Kind::Object || sector == nullptr ||
        sector->kind != JsonValue::Kind::Number || sector->number < 0 ||
        sector->number >= static_cast<double>(image.sectorCount()) ||
        sector->number != static_cast<double>(static_cast<std::size_t>(sector->number)))
      return at(entry, "a key entry needs a \"sector\" number of the card");
    SectorKeys& found = image.keys[static_cast<std::size_t>(sector->number)];
    std::string error;
    auto a = hexMember(entry, "a", {6}, error);
    auto b = hexMember(entry, "b", {6}, error);
    if (!a || !b) return error;
    if (!a->empty()) std::copy(a->begin(), a->end(), found.a.emplace().begin());
    if (!b->empty()) std::copy(b->begin(), b->end(), found.b.emplace().begin());
  }
  return {};
}

std::string keyJson(const std::optional<Key>& key) {
  return key ? "\"" + hexOf(key->data(), key->size()) + "\"" : "null";
}

}  // namespace

Parsed<CardImage> parseJson(std::string_view text) {
  auto root = parseJsonValue(text);
  if (!root.value) return Result::failure(root.error);
  if (root.value->kind != JsonValue::Kind::Object)
    return Result::failure(at(*root.value, "a dump is a JSON object"));
  const JsonValue* blocks = root.value->member("blocks");
  if (blocks == nullptr) return Result::failure(at(*root.value, "no \"blocks\" member"));
  if (blocks->kind != JsonValue::Kind::Array) return Result::failure(at(*blocks, "\"blocks\" must be an array"));
  auto size = cardSizeOfBlocks(blocks->items.size());
  if (!size)
    return Result::failure(at(*blocks, "\"blocks\" has " + std::to_string(blocks->items.size()) +
                                           " entries; a card has 20, 64 or 256"));
  CardImage image(*size);
  std::string error = readIdentity(*root.value, image);
  if (error.empty()) error = readBlocks(*blocks, image);
  if (const JsonValue* keys = root.value->member("keys"); error.empty() && keys != nullptr)
    error = readKeys(*keys, image);
  if (!error.empty()) return Result::failure(error);
  return {std::move(image), {}};
}

std::string writeJson(const CardImage& image) {
  std::string text = "{\n";
  if (!image.uid.empty()) text += "  \"uid\": \"" + hexOf(image.uid.data(), image.uid.size()) + "\",\n";
  if (image.atqa) text += "  \"atqa\": \"" + hexOf(image.atqa->data(), 2) + "\",\n";
  if (image.sak) text += "  \"sak\": \"" + hexOf(&*image.sak, 1) + "\",\n";
  text += "  \"blocks\": [\n";
  for (std::size_t block = 0; block < image.blockCount(); ++block) {
    text += image.blockUnknown(block) ? "    null" : "    \"" + blockHex(image, block, false) + "\"";
    text += block + 1 < image.blockCount() ? ",\n" : "\n";
  }
  text += "  ],\n  \"keys\": [";
  for (std::size_t sector = 0; sector < image.keys.size(); ++sector) {
    text += sector ? ",\n" : "\n";
    text += "    {\"sector\": " + std::to_string(sector) + ", \"a\": " +
            keyJson(image.keys[sector].a) + ", \"b\": " + keyJson(image.keys[sector].b) + "}";
  }
  text += image.keys.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return text;
}

}  // namespace norvex::dump
