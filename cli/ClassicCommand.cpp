// SPDX-License-Identifier: MIT
// norvex classic: the Mifare Classic subcommands, and the two that need no dump file: keys (which
// key opens which sector) and acl (access bytes in words).
#include <iostream>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/ClassicCard.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/KeySearch.h"
#include "cli/KeyTable.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "cli/Suggest.h"
#include "dump/Hex.h"
#include "dump/TrailerSafety.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex classic COMMAND [ARGS]...\n"
    "  dump [-o FILE]                        read the whole card into a dump file\n"
    "  restore FILE [--trailers]             write a dump back to a card\n"
    "  keys [--json]                         which key opens which sector\n"
    "  value get|set|inc|dec BLOCK [VALUE]   value blocks\n"
    "  acl decode HEX [--json]               access bytes 6-9 of a trailer in words\n"
    "dump, restore, keys and value take keys with --key HEX and key files with -k FILE (both\n"
    "repeatable; -k - reads standard input), and choose the card with --uid HEX and --wait.\n";

constexpr const char* kKeysUsage =
    "usage: norvex classic keys [--key HEX]... [-k KEYFILE]... [--json] [--reader USB_n]\n"
    "Tries the keys given, the default keys and those of the key files (-k - reads standard\n"
    "input; keys may be written with 0x, spaces or colons) as key A and key B on every sector\n"
    "and prints which key opens which sector. Exit status 1 when a sector has neither key.\n";

constexpr const char* kAclUsage =
    "usage: norvex classic acl decode HEX [--json]\n"
    "Prints the access conditions of trailer bytes 6-9 (8 hex digits, e.g. FF078069) per block\n"
    "and key; refuses access bytes whose inverted copies do not match.\n";

int runKeys(const Words& args) {
  Arguments options(args, cardOptions(keyOptions({{"json", 0, false}})));
  if (options.has("help")) return std::cout << kKeysUsage << cardChoiceHelp(), kExitOk;
  if (!options.positional().empty()) usageError("classic keys takes no arguments besides options");
  std::vector<dump::Key> candidates = loadCandidateKeys(options);
  ReaderSession reader(options);
  ClassicCard card(reader.handle(), chooseCard(reader.handle(), options));
  dump::CardImage image(card.size());
  image.keys.assign(card.sectorCount(), {});
  KeySearch search(card, candidates);
  bool allOpen = true;
  Progress progress("trying keys", card.sectorCount());
  for (std::size_t sector = 0; sector < card.sectorCount(); ++sector) {
    progress.update(sector);
    image.keys[sector] = search.find(sector);
    // The access bytes say whether the key B found is a key or data readable in the trailer.
    const std::size_t trailer = dump::firstBlockOfSector(sector) + dump::blocksInSector(sector) - 1;
    if (image.keys[sector].a || image.keys[sector].b)
      if (auto bytes = card.read(trailer)) image.setBlock(trailer, *bytes);
    allOpen = allOpen && (image.keys[sector].a || image.keys[sector].b);
  }
  printKeyTable(std::cout, image, {}, options.has("json"));
  return allOpen ? kExitOk : kExitCardError;
}

// The rights of one key on a block, as words.
std::vector<std::string> privileges(uint32_t mask, bool trailer) {
  static const std::pair<uint32_t, const char*> data[] = {
      {ACL_DATA_READ, "read"},
      {ACL_DATA_WRITE, "write"},
      {ACL_DATA_INCREMENT, "increment"},
      {ACL_DATA_DECREMENT, "decrement/transfer/restore"}};
  static const std::pair<uint32_t, const char*> trailerRights[] = {
      {ACL_TRAILER_WRITE_KEYA, "write key A"},
      {ACL_TRAILER_READ_ACL, "read access bits"},
      {ACL_TRAILER_WRITE_ACL, "write access bits"},
      {ACL_TRAILER_READ_KEYB, "read key B"},
      {ACL_TRAILER_WRITE_KEYB, "write key B"}};
  std::vector<std::string> names;
  auto add = [&](const auto& table) {
    for (const auto& [bit, name] : table)
      if (mask & bit) names.push_back(name);
  };
  if (trailer)
    add(trailerRights);
  else
    add(data);
  return names;
}

std::string privilegesText(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text.empty() ? "never" : text;
}

dump::JsonValue namesJson(const std::vector<std::string>& names) {
  dump::JsonValue list = dump::JsonValue::array();
  for (const std::string& name : names) list.push(dump::jsonString(name));
  return list;
}

int runAcl(const Words& args) {
  if (printHelpIfAsked(args, kAclUsage)) return kExitOk;
  Arguments options(args, {{"json", 0, false}});
  const Words& words = options.positional();
  std::vector<uint8_t> acl;
  if (words.size() != 2 || words[0] != "decode")
    usageError("usage: norvex classic acl decode HEX [--json]");
  if (!parseHex(words[1], acl) || acl.size() != 4)
    usageError("acl decode needs trailer bytes 6-9 as 8 hex digits, not \"" + words[1] + "\"");
  if (!dump::accessBitsConsistent(acl.data()))
    throw CliError(kExitCardError, "access bytes " + hex::encode(acl) +
                                       " are inconsistent: a card would block the sector");
  // Where key B can be read from the trailer the card refuses it for data access, whatever the
  // data rows grant it.
  const bool keyBIsData = !dump::keyBUsable(acl.data());
  std::vector<std::vector<std::string>> rows;
  dump::JsonValue blocks = dump::JsonValue::array();
  for (uint32_t block = 0; block < 4; ++block) {
    uint32_t keyA = 0, keyB = 0;
    int32_t index = block < 3 ? ACL_ParseDataConditions(block, acl.data(), &keyA, &keyB)
                              : ACL_ParseTrailerConditions(acl.data(), &keyA, &keyB);
    const std::string bits =
        std::to_string(index >> 2 & 1) + std::to_string(index >> 1 & 1) + std::to_string(index & 1);
    const bool refusedB = block < 3 && keyBIsData;
    const std::vector<std::string> rightsA = privileges(keyA, block == 3);
    const std::vector<std::string> rightsB =
        refusedB ? std::vector<std::string>{} : privileges(keyB, block == 3);
    blocks.push(dump::JsonValue::object()
                    .add("block", dump::jsonNumber(block))
                    .add("trailer", dump::jsonBool(block == 3))
                    .add("bits", dump::jsonString(bits))
                    .add("keyARights", namesJson(rightsA))
                    .add("keyBRights", namesJson(rightsB)));
    rows.push_back(
        {block < 3 ? std::to_string(block) : "trailer", bits, privilegesText(rightsA),
         refusedB && keyB != 0 ? "never (key B is readable: not a key)" : privilegesText(rightsB)});
  }
  if (options.has("json")) {
    printJson(dump::JsonValue::object()
                  .add("accessBits", dump::jsonHex(acl.data(), acl.size()))
                  .add("keyBUsable", dump::jsonBool(!keyBIsData))
                  .add("blocks", std::move(blocks)));
    return kExitOk;
  }
  printTable(std::cout, {"BLOCK", "C1C2C3", "KEY A", "KEY B"}, rows);
  std::cout << "(in a 16-block sector, data rows 0-2 stand for blocks 0-4, 5-9 and 10-14)\n";
  return kExitOk;
}

}  // namespace

int runClassic(const Words& args) {
  if (args.empty()) usageError("classic needs a command: dump, restore, keys, value or acl");
  Words rest(args.begin() + 1, args.end());
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") return std::cout << kUsage, kExitOk;
  if (command == "dump") return runClassicDump(rest);
  if (command == "restore") return runClassicRestore(rest);
  if (command == "keys") return runKeys(rest);
  if (command == "acl") return runAcl(rest);
  if (command == "value") return runClassicValue(rest);
  usageError("unknown classic command '" + command + "'" +
             didYouMean(command, {"dump", "restore", "keys", "acl", "value"}) +
             " (see norvex classic --help)");
}

}  // namespace norvex::cli
