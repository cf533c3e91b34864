// SPDX-License-Identifier: MIT
// norvex ndef: the NFC Forum NDEF message of a tag, read as records, written from record options,
// erased (an empty message) or the tag formatted for NDEF.
#include <iostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Confirm.h"
#include "cli/NdefRecords.h"
#include "cli/NdefTag.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "cli/Suggest.h"
#include "dump/Hex.h"
#include "dump/JsonValue.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex ndef read [--json]\n"
    "       norvex ndef write RECORD... [--lang LANG]\n"
    "       norvex ndef format [--yes]\n"
    "       norvex ndef erase [--yes]\n"
    "read prints the records of the tag's NDEF message: text with its language, URI, MIME type\n"
    "and size, external type, smart poster; anything else in hex.\n"
    "write replaces the message with one record per RECORD, in the order given:\n"
    "  --text TEXT       a text record, in --lang LANG (en by default)\n"
    "  --uri URL         a URI record (https://, tel:, mailto: ... abbreviated)\n"
    "  --mime TYPE FILE  a MIME record (type/subtype) holding the bytes of FILE\n"
    "  --raw FILE        the records of the NDEF message in FILE\n"
    "A message larger than the tag holds is refused before anything is written.\n"
    "format prepares a blank tag for NDEF (an Ultralight's capability container is one-time\n"
    "programmable, Mifare Classic sector keys change) and erase leaves an empty message: both\n"
    "are confirmed on a terminal and need --yes elsewhere.\n"
    "Works on Ultralight / NTAG, ISO 14443-4 (type 4) cards, DESFire EV1 and Mifare Classic.\n";

int read(const Words& args) {
  Arguments options(args, cardOptions({{"json", 0, false}}));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  if (!options.positional().empty()) usageError("ndef read takes no arguments");
  ReaderSession reader(options);
  const FieldCard card = chooseCard(reader.handle(), options);
  NdefTag tag(reader.handle());
  tag.readInfo();
  const std::vector<uint8_t> message = tag.read();
  const std::vector<DecodedRecord> records =
      message.empty() ? std::vector<DecodedRecord>{} : decodeMessage(message);
  if (options.has("json")) {
    dump::JsonValue list = dump::JsonValue::array();
    for (const DecodedRecord& record : records) list.push(record.json);
    printJson(dump::JsonValue::object()
                  .add("uid", dump::jsonHex(card.uid.data(), card.uid.size()))
                  .add("kind", dump::jsonString(card.type().kind))
                  .add("mapping", dump::jsonString(tag.mapping()))
                  .add("capacity",
                       tag.capacity() != 0 ? dump::jsonNumber(tag.capacity()) : dump::JsonValue{})
                  .add("message", dump::jsonHex(message.data(), message.size()))
                  .add("records", std::move(list)));
    return kExitOk;
  }
  std::cerr << "norvex: " << tag.mapping() << " tag, NDEF message of " << message.size()
            << " bytes";
  if (tag.capacity() != 0) std::cerr << " (" << tag.capacity() << " at most)";
  std::cerr << "\n";
  if (records.empty()) return kExitOk;
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = 0; i < records.size(); ++i)
    rows.push_back({std::to_string(i + 1), records[i].type, records[i].content});
  printTable(std::cout, {"RECORD", "TYPE", "CONTENT"}, rows);
  return kExitOk;
}

int write(Words args) {
  const std::vector<RecordOption> recordOptions = takeRecordOptions(args);
  Arguments options(args, cardOptions({{"lang", 0, true}}));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  if (!options.positional().empty())
    usageError("ndef write takes records as options: " + options.positional()[0] + " is none");
  if (recordOptions.empty()) usageError("ndef write needs --text, --uri, --mime or --raw");
  const std::vector<uint8_t> message = buildMessage(recordOptions, options.value("lang", "en"));
  ReaderSession reader(options);
  chooseCard(reader.handle(), options);
  NdefTag tag(reader.handle());
  tag.readInfo();
  tag.write(message);
  std::cerr << "norvex: " << recordOptions.size() << " record(s), " << message.size()
            << " bytes written\n";
  return kExitOk;
}

int formatOrErase(const Words& args, bool format) {
  Arguments options(args, cardOptions({{"yes", 'y', false}}));
  if (options.has("help")) return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  if (!options.positional().empty()) usageError("ndef format and erase take no arguments");
  confirmIrreversible(options, format ? "formatting the tag for NDEF (a type 2 tag's capability "
                                        "container and Mifare Classic keys cannot be undone)"
                                      : "erasing the tag's NDEF message");
  ReaderSession reader(options);
  chooseCard(reader.handle(), options);
  const NdefTag tag(reader.handle());
  if (format)
    tag.format();
  else
    tag.erase();
  return kExitOk;
}

}  // namespace

int runNdef(const Words& args) {
  if (args.empty()) usageError("ndef needs a command: read, write, format or erase");
  const std::string& command = args[0];
  const Words rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h")
    return std::cout << kUsage << cardChoiceHelp(), kExitOk;
  if (command == "read") return read(rest);
  if (command == "write") return write(rest);
  if (command == "format") return formatOrErase(rest, true);
  if (command == "erase") return formatOrErase(rest, false);
  usageError("unknown ndef command '" + command + "'" +
             didYouMean(command, {"read", "write", "format", "erase"}) +
             " (see norvex ndef --help)");
}

}  // namespace norvex::cli
