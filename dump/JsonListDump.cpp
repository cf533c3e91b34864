// SPDX-License-Identifier: MIT
// JSON dumps in this program's first layout, still read so that files already written load: an
// object with the card's "uid", "atqa" and "sak" (hex strings), "blocks" (an array of one hex
// string per block, null for an unread block, "--" for an unread byte) and "keys" (per sector the
// key A and key B found, null when none was). Members this reader does not know are ignored.
#include "dump/HexLines.h"
#include "dump/JsonFields.h"

namespace norvex::dump {

std::string jsonError(const JsonValue& value, const std::string& message) {
  return "line " + std::to_string(value.line) + ": " + message;
}

std::optional<std::vector<uint8_t>> hexMember(const JsonValue& object, const char* name,
                                              std::initializer_list<std::size_t> lengths,
                                              std::string& error) {
  const JsonValue* member = object.member(name);
  if (member == nullptr || member->kind == JsonValue::Kind::Null) return std::vector<uint8_t>{};
  if (member->kind != JsonValue::Kind::String) {
    error = jsonError(*member, std::string("\"") + name + "\" must be a hex string");
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
  error =
      jsonError(*member, std::string("\"") + name + "\" is not a hex string of the right length");
  return std::nullopt;
}

namespace {

using Result = Parsed<CardImage>;
const auto at = jsonError;

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

}  // namespace

Parsed<CardImage> parseJsonBlockList(const JsonValue& root) {
  const JsonValue* blocks = root.member("blocks");
  auto size = cardSizeOfBlocks(blocks->items.size());
  if (!size)
    return Result::failure(at(*blocks, "\"blocks\" has " + std::to_string(blocks->items.size()) +
                                           " entries; a card has 20, 64 or 256"));
  CardImage image(*size);
  std::string error = readIdentity(root, image);
  if (error.empty()) error = readBlocks(*blocks, image);
  if (const JsonValue* keys = root.member("keys"); error.empty() && keys != nullptr)
    error = readKeys(*keys, image);
  if (!error.empty()) return Result::failure(error);
  return {std::move(image), {}};
}

}  // namespace norvex::dump
