// SPDX-License-Identifier: MIT
// norvex classic value: read, create, increment and decrement a Mifare Classic value block.
//
// The sector's keys are searched as for a dump; each operation is tried with the key that usually
// holds the right (key A reads and decrements, key B writes and increments), then the other. Each
// attempt selects the chosen card by its UID and authenticates the block's sector first.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iostream>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/ClassicCard.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/KeySearch.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "cli/ValueBlock.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex classic value get|set|inc|dec BLOCK [VALUE] [--key HEX]... [-k KEYFILE]...\n"
    "                            [--json] [--reader USB_n]\n"
    "get prints the value of a value block; set makes BLOCK a value block holding VALUE; inc and\n"
    "dec add VALUE to it or take VALUE from it (the card computes) and print the result. BLOCK is\n"
    "a data block other than block 0. Values are signed 32-bit numbers: set takes -2147483648 to\n"
    "2147483647 (or 0x0 to 0xFFFFFFFF, the bits as stored); inc and dec take 0 to 4294967295.\n"
    "A negative number is an argument, not an option (or put it after --). --json prints\n"
    "{\"block\", \"value\"}.\n";

unsigned long parseNumber(const std::string& text, unsigned long max, const char* what) {
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || text[0] == '-' || *end != '\0' || value > max)
    usageError(std::string(what) + " \"" + text + "\" is not a number from 0 to " +
               std::to_string(max));
  return value;
}

// The value of `set`: signed decimal, or the 32 bits in hex.
int32_t parseSignedValue(const std::string& text) {
  if (text.starts_with("0x") || text.starts_with("0X"))
    return static_cast<int32_t>(parseNumber(text, 0xFFFFFFFF, "value"));
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX)
    usageError("value \"" + text + "\" is not a number from -2147483648 to 2147483647");
  return static_cast<int32_t>(value);
}

// The card checks the format of a value block: copies or address bytes that disagree mean the
// block holds plain data.
bool notAValueBlock(long status) {
  return status == NORVEX_E_VB_VALUE_DIFF || status == NORVEX_E_VB_ADDR_DIFF ||
         status == NORVEX_E_VB_INVALID_ADDR;
}

std::size_t sectorOfBlock(std::size_t block) {
  return block < 128 ? block / 4 : 32 + (block - 128) / 16;
}

// Runs the operation with the sector's keys in the given order of key types until one succeeds.
// When every key fails, the first failure other than a refused authentication is reported (a
// malformed value block says more than the other key's refusal).
template <typename Operation>
void withKeys(const dump::SectorKeys& keys, std::initializer_list<uint8_t> order,
              const std::string& what, unsigned block, Operation operation) {
  long reported = NORVEX_E_NO_AUTH_ALLOWED;
  for (uint8_t type : order) {
    const std::optional<dump::Key>& key = type == MIF_KEY_TYPE_A ? keys.a : keys.b;
    if (!key) continue;
    _MIF_KEY_ record{type, {}};
    std::copy(key->begin(), key->end(), record.KeyValue);
    const long status = operation(record);
    if (status == NORVEX_OK) return;
    if (reported == NORVEX_E_NO_AUTH_ALLOWED) reported = status;
  }
  if (notAValueBlock(reported))
    throw CliError(kExitCardError, "block " + std::to_string(block) + " is not a value block (" +
                                       statusMessage("its value format", reported) + ")");
  check(reported, what);
}

}  // namespace

int runClassicValue(const Words& args) {
  Arguments options(args, cardOptions(keyOptions({{"json", 0, false}})));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  const Words& words = options.positional();
  const bool get = !words.empty() && words[0] == "get";
  if (words.empty() ||
      (words[0] != "get" && words[0] != "set" && words[0] != "inc" && words[0] != "dec") ||
      words.size() != (get ? 2u : 3u))
    usageError("usage: norvex classic value get|set|inc|dec BLOCK [VALUE]");
  const auto block = static_cast<uint8_t>(parseNumber(words[1], 255, "block"));
  const bool set = words[0] == "set";
  const auto operand = get   ? 0u
                       : set ? static_cast<uint32_t>(parseSignedValue(words[2]))
                             : static_cast<uint32_t>(parseNumber(words[2], 0xFFFFFFFF, "value"));
  std::vector<dump::Key> candidates = loadCandidateKeys(options);

  ReaderSession reader(options);
  ClassicCard card(reader.handle(), chooseCard(reader.handle(), options));
  const std::size_t sector = sectorOfBlock(block);
  if (block >= static_cast<std::size_t>(card.size()) / dump::kBlockSize || block == 0 ||
      block == dump::firstBlockOfSector(sector) + dump::blocksInSector(sector) - 1)
    usageError("block " + std::to_string(block) + " is not a data block of this card");
  const dump::SectorKeys keys = KeySearch(card, candidates).find(sector);
  if (!keys.a && !keys.b)
    throw CliError(kExitCardError, "no key opens sector " + std::to_string(sector));
  void* session = reader.handle();
  // The operation after selecting the card and authenticating the sector with the key.
  const auto authenticated = [&](auto operation) {
    return [&card, sector, operation](const _MIF_KEY_& key) -> long {
      dump::Key bytes{};
      std::copy_n(key.KeyValue, bytes.size(), bytes.begin());
      if (!card.authenticate(sector, key.KeyType, bytes)) return NORVEX_E_NO_AUTH_ALLOWED;
      const long status = operation();
      if (status != NORVEX_OK) card.forgetAuthentication();
      return status;
    };
  };
  const auto A = MIF_KEY_TYPE_A, B = MIF_KEY_TYPE_B;
  if (words[0] == "set") {
    const dump::Block formatted = encodeValueBlock(operand, block);
    withKeys(keys, {B, A}, "writing the value", block,
             authenticated([&] { return MifC_WriteBlock(session, block, formatted.data()); }));
  }
  if (words[0] == "inc" || words[0] == "dec") {
    const bool inc = words[0] == "inc";
    withKeys(keys,
             inc ? std::initializer_list<uint8_t>{B, A} : std::initializer_list<uint8_t>{A, B},
             inc ? "incrementing" : "decrementing", block, authenticated([&] {
               return MifC_ProcessValue(session, inc ? MIF_VALUE_INCREMENT : MIF_VALUE_DECREMENT,
                                        block, operand);
             }));
  }
  uint32_t value = 0;
  withKeys(keys, {A, B}, "reading the value", block, authenticated([&] {
             dump::Block data{};
             const long status = MifC_ReadBlock(session, block, data.data());
             return status ? status : decodeValueBlock(data, block, &value);
           }));
  if (options.has("json"))
    printJson(dump::JsonValue::object()
                  .add("block", dump::jsonNumber(block))
                  .add("value", dump::jsonNumber(static_cast<int32_t>(value))));
  else
    std::cout << "block " << static_cast<unsigned>(block) << ": " << static_cast<int32_t>(value)
              << "\n";
  return kExitOk;
}

}  // namespace norvex::cli
