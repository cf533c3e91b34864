// SPDX-License-Identifier: MIT
// norvex desfire: a DESFire card's version, its applications, an application's files and a
// file's contents, authenticated with a key when one is given.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/Arguments.h"
#include "cli/CardChoice.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/DesfireEv1Commands.h"
#include "cli/DesfireKeyOptions.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "cli/Suggest.h"
#include "dump/DumpFile.h"
#include "dump/Hex.h"
#include "dump/JsonValue.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex desfire COMMAND [--key HEX [--key-type T] [--key-no N]] [--json] [--reader "
    "USB_n]\n"
    "  info                          version, UID and the card's key settings\n"
    "  apps                          the applications' AIDs\n"
    "  files --app AID               the application's files and their settings\n"
    "  read --app AID --file N [-o FILE]  a file's data, value or records\n"
    "AID is 6 hex digits. --key (8 or 16 bytes in hex) authenticates key --key-no (0 by default)\n"
    "of the card, or of the application with --app; file data then travels as the file says.\n"
    "--json prints the listing as JSON. read -o FILE writes the file's bytes to FILE (a value\n"
    "file's 4 bytes least significant first, records one after the other), replacing it in one\n"
    "step once read.\n";

enum FileType : uint8_t { kStandard, kBackup, kValue, kLinearRecord, kCyclicRecord };
constexpr const char* kTypeNames[] = {"standard", "backup", "value", "linear-record",
                                      "cyclic-record"};

struct FileInfo {
  uint8_t type = 0, commSet = 0, acl[4] = {}, extraLen = 0, extra[20] = {};
  unsigned number(int at) const { return extra[at] | extra[at + 1] << 8 | extra[at + 2] << 16; }
};

unsigned parseNumber(const std::string& text, int base, unsigned max, const char* what) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, base);
  if (text.empty() || *end != '\0' || value > max)
    usageError(std::string(what) + ": \"" + text + "\" is out of range");
  return static_cast<unsigned>(value);
}

// A DESFire session on the card in the field, in the application asked for (the card level
// otherwise), authenticated when a key was given: through the EV1 channel with --key-type or when
// the command asks for it, with the original authentication otherwise.
class DesfireCard {
 public:
  DesfireCard(const ReaderSession& reader, const Arguments& options, bool ev1Channel = false)
      : session_(reader.handle()) {
    check(DF_Connect(session_), "activating the card");
    if (options.has("app")) {
      const unsigned aid = parseNumber(options.value("app"), 16, 0xFFFFFF, "--app");
      check(DF_SelectApp(session_, aid), "selecting " + options.value("app"));
    }
    if (!options.has("key")) return;
    if (ev1Channel || options.has("key-type")) {
      openEv1Channel(session_, options);
      return;
    }
    std::vector<uint8_t> key;
    if (!parseHex(options.value("key"), key) || (key.size() != 8 && key.size() != 16))
      usageError("--key needs 8 or 16 bytes in hex");
    std::copy_n(key.begin(), 8, key_.K1);
    std::copy_n(key.begin() + (key.size() == 16 ? 8 : 0), 8, key_.K2);
    const unsigned keyNo = parseNumber(options.value("key-no", "0"), 10, 13, "--key-no");
    const tag_des_key cardKey = key_;
    check(DF_AuthKey(session_, static_cast<uint8_t>(keyNo), &cardKey, &key_),
          "authenticating key " + std::to_string(keyNo));
    authenticated_ = true;
  }
  void* handle() const { return session_; }
  const tag_des_key* sessionKey() const { return authenticated_ ? &key_ : nullptr; }

 private:
  void* session_;
  tag_des_key key_{};
  bool authenticated_ = false;
};

using dump::JsonValue;

int info(const DesfireCard& card, bool json) {
  uint8_t version[28];
  check(DF_GetVersionI(card.handle(), version), "reading the version");
  uint8_t settings = 0, maxKeys = 0;
  const long status = DF_GetKeySettings(card.handle(), &settings, &maxKeys);
  if (json) {
    printJson(
        JsonValue::object()
            .add("uid", dump::jsonHex(version + 14, 7))
            .add("kind", dump::jsonString("desfire"))
            .add("type", dump::jsonString("Mifare DESFire"))
            .add("hardware", dump::jsonHex(version, 7))
            .add("software", dump::jsonHex(version + 7, 7))
            .add("batch", dump::jsonHex(version + 21, 5))
            .add("productionWeek", dump::jsonHex(version + 26, 1))
            .add("productionYear", dump::jsonString("20" + hex::encode(version + 27, 1)))
            .add("keySettings", status == NORVEX_OK ? dump::jsonHex(&settings, 1) : JsonValue{})
            .add("maxKeys", status == NORVEX_OK ? dump::jsonNumber(maxKeys & 0x0F) : JsonValue{}));
    return kExitOk;
  }
  std::cout << "UID       " << hex::encode(version + 14, 7) << "\n"
            << "hardware  " << hex::encode(version, 7) << "\n"
            << "software  " << hex::encode(version + 7, 7) << "\n"
            << "batch     " << hex::encode(version + 21, 5) << "\n"
            << "made      week " << hex::encode(version + 26, 1) << " of 20"
            << hex::encode(version + 27, 1) << "\n";
  if (status == NORVEX_OK)
    std::cout << "settings  " << hex::encode(&settings, 1) << "\n";
  else
    std::cout << "settings  (" << statusMessage("key settings", status) << ")\n";
  return kExitOk;
}

int apps(const DesfireCard& card, bool json) {
  unsigned aids[28];
  uint16_t count = 28;
  check(DF_ListApps(card.handle(), aids, &count), "listing the applications");
  JsonValue list = JsonValue::array();
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t aid[3] = {static_cast<uint8_t>(aids[i] >> 16), static_cast<uint8_t>(aids[i] >> 8),
                            static_cast<uint8_t>(aids[i])};
    if (json)
      list.push(JsonValue::object().add("aid", dump::jsonHex(aid, 3)));
    else
      std::cout << hex::encode(aid, 3) << "\n";
  }
  if (json) printJson(list);
  return kExitOk;
}

FileInfo fileInfo(const DesfireCard& card, uint8_t fileNo) {
  FileInfo file;
  check(DF_GetFileSettings(card.handle(), fileNo, &file.commSet, &file.type, file.acl,
                           &file.extraLen, file.extra),
        "reading the settings of file " + std::to_string(fileNo));
  return file;
}

std::string rightText(uint8_t key) {
  return key == 14 ? "free" : key == 15 ? "never" : std::to_string(key);
}

std::string rights(const FileInfo& file) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += (i ? " " : "") + rightText(file.acl[i]);
  return text;
}

std::string sizeText(const FileInfo& file) {
  if (file.type <= kBackup) return std::to_string(file.number(0)) + " bytes";
  if (file.type == kValue) return "value";
  return std::to_string(file.number(6)) + " of " + std::to_string(file.number(3)) + " records of " +
         std::to_string(file.number(0)) + " bytes";
}

const char* typeName(const FileInfo& file) {
  return file.type < std::size(kTypeNames) ? kTypeNames[file.type] : "unknown";
}

const char* commName(const FileInfo& file) {
  return file.commSet == COMM_PLAIN ? "plain" : file.commSet == COMM_MACED ? "maced" : "enciphered";
}

// A key number as a number; "free" and "never" as words.
JsonValue rightJson(uint8_t key) {
  return key < 14 ? dump::jsonNumber(key) : dump::jsonString(rightText(key));
}

JsonValue fileJson(uint8_t fileNo, const FileInfo& file) {
  JsonValue json = JsonValue::object();
  json.add("file", dump::jsonNumber(fileNo))
      .add("type", dump::jsonString(typeName(file)))
      .add("comm", dump::jsonString(commName(file)))
      .add("access", JsonValue::object()
                         .add("read", rightJson(file.acl[0]))
                         .add("write", rightJson(file.acl[1]))
                         .add("readWrite", rightJson(file.acl[2]))
                         .add("change", rightJson(file.acl[3])));
  if (file.type <= kBackup) json.add("size", dump::jsonNumber(file.number(0)));
  if (file.type > kValue)
    json.add("recordSize", dump::jsonNumber(file.number(0)))
        .add("maxRecords", dump::jsonNumber(file.number(3)))
        .add("records", dump::jsonNumber(file.number(6)));
  return json;
}

int files(const DesfireCard& card, bool json) {
  uint8_t ids[16], count = 0;
  check(DF_GetFileIDs(card.handle(), &count, ids), "listing the files");
  std::vector<std::vector<std::string>> rows;
  JsonValue list = JsonValue::array();
  for (uint8_t i = 0; i < count; ++i) {
    const FileInfo file = fileInfo(card, ids[i]);
    list.push(fileJson(ids[i], file));
    rows.push_back(
        {std::to_string(ids[i]), typeName(file), commName(file), rights(file), sizeText(file)});
  }
  if (json)
    printJson(list);
  else
    printTable(std::cout, {"FILE", "TYPE", "COMM", "READ WRITE RW CHANGE", "SIZE"}, rows);
  return kExitOk;
}

// What a file holds: its bytes (a value file's four, least significant first), the value of a
// value file, and the size of a record.
struct FileContents {
  std::vector<uint8_t> bytes;
  std::optional<int32_t> value;
  unsigned recordSize = 0;
};

FileContents readContents(const DesfireCard& card, uint8_t fileNo, const FileInfo& file) {
  const auto set = static_cast<FILE_COMM_SET>(file.commSet);
  if (set != COMM_PLAIN && card.sessionKey() == nullptr)
    throw CliError(kExitCardError, "file " + std::to_string(fileNo) +
                                       " is MACed or enciphered: authenticate with --key");
  FileContents contents;
  if (file.type == kValue) {
    unsigned value = 0;
    check(DF_GetValue(card.handle(), fileNo, set, &value, card.sessionKey()), "reading the value");
    contents.value = static_cast<int32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) contents.bytes.push_back(uint8_t(value >> shift));
    return contents;
  }
  if (file.type <= kBackup) {
    unsigned length = file.number(0);
    contents.bytes.resize(length);
    if (length > 0)
      check(DF_ReadData(card.handle(), fileNo, set, 0, &length, contents.bytes.data(),
                        card.sessionKey()),
            "reading file " + std::to_string(fileNo));
    contents.bytes.resize(length);
    return contents;
  }
  contents.recordSize = file.number(0);
  unsigned count = file.number(6);
  contents.bytes.resize(static_cast<size_t>(count) * contents.recordSize);
  if (count > 0)
    check(DF_ReadRecords(card.handle(), fileNo, set, 0, &count, contents.bytes.data(),
                         contents.recordSize, card.sessionKey()),
          "reading the records of file " + std::to_string(fileNo));
  contents.bytes.resize(static_cast<size_t>(count) * contents.recordSize);
  return contents;
}

int read(const DesfireCard& card, uint8_t fileNo, const Arguments& options) {
  const FileInfo file = fileInfo(card, fileNo);
  const FileContents contents = readContents(card, fileNo, file);
  const std::size_t records =
      contents.recordSize == 0 ? 0 : contents.bytes.size() / contents.recordSize;
  if (const std::string output = options.value("output"); !output.empty()) {
    const std::string_view bytes(reinterpret_cast<const char*>(contents.bytes.data()),
                                 contents.bytes.size());
    if (std::string error = dump::writeFileAtomically(output, bytes); !error.empty())
      throw CliError(kExitCardError, error);
    std::cerr << "norvex: file " << unsigned{fileNo} << ": " << contents.bytes.size()
              << " bytes written to " << output << "\n";
    return kExitOk;
  }
  if (options.has("json")) {
    JsonValue json = JsonValue::object();
    json.add("file", dump::jsonNumber(fileNo)).add("type", dump::jsonString(typeName(file)));
    if (contents.value) {
      json.add("value", dump::jsonNumber(*contents.value));
    } else if (contents.recordSize == 0) {
      json.add("data", dump::jsonHex(contents.bytes.data(), contents.bytes.size()));
    } else {
      JsonValue list = JsonValue::array();
      for (std::size_t i = 0; i < records; ++i)
        list.push(dump::jsonHex(&contents.bytes[i * contents.recordSize], contents.recordSize));
      json.add("records", std::move(list));
    }
    printJson(json);
    return kExitOk;
  }
  if (contents.value)
    std::cout << *contents.value << "\n";
  else if (contents.recordSize == 0)
    std::cout << hex::encode(contents.bytes) << "\n";
  for (std::size_t i = 0; i < records; ++i)
    std::cout << hex::encode(&contents.bytes[i * contents.recordSize], contents.recordSize) << "\n";
  return kExitOk;
}

// A card error on a card that is not a DESFire says what the card is.
[[noreturn]] void explainFailure(const FieldCard& card, const CliError& error) {
  if (error.exitStatus() != kExitCardError || card.type().kind == "desfire") throw error;
  throw CliError(kExitCardError, "the card (" + card.description() + ") is not a Mifare DESFire (" +
                                     error.what() + ")");
}

}  // namespace

int runDesfire(const Words& args) {
  Arguments options(args, cardOptions(withDesfireEv1Options({{"key", 'k', true},
                                                             {"key-no", 0, true},
                                                             {"app", 'a', true},
                                                             {"file", 'f', true},
                                                             {"json", 0, false},
                                                             {"output", 'o', true}})));
  if (options.has("help") || options.positional().empty()) {
    if (!options.has("help"))
      usageError(
          "desfire needs a command: info, apps, files, read, uid, free, format, create-app, "
          "delete-app, change-key, create-file or write");
    return std::cout << kUsage << kDesfireEv1Usage << cardChoiceHelp(), kExitOk;
  }
  const std::string command = options.positional()[0];
  if (const DesfireAction action = prepareDesfireEv1(command, options)) {
    const ReaderSession reader(options);
    const FieldCard chosen = chooseAndIsolate(reader.handle(), options);
    try {
      const DesfireCard card(reader, options, true);
      return action(card.handle());
    } catch (const CliError& error) {
      explainFailure(chosen, error);
    }
  }
  if (options.positional().size() > 1) usageError("desfire " + command + " takes no arguments");
  const bool inApplication = command == "files" || command == "read";
  if (command != "info" && command != "apps" && !inApplication)
    usageError(
        "unknown desfire command '" + command + "'" +
        didYouMean(command, {"info", "apps", "files", "read", "uid", "free", "format", "create-app",
                             "delete-app", "change-key", "create-file", "write"}));
  if (inApplication && !options.has("app")) usageError("desfire " + command + " needs --app AID");
  if (command == "read" && !options.has("file")) usageError("desfire read needs --file N");
  if (options.has("output") && command != "read") usageError("only desfire read takes -o FILE");
  if (std::string refused = dump::checkOutputPath(options.value("output"));
      options.has("output") && !refused.empty())
    usageError(refused);
  const unsigned fileNo = parseNumber(options.value("file", "0"), 10, 15, "--file");
  const bool json = options.has("json");
  const ReaderSession reader(options);
  const FieldCard chosen = chooseAndIsolate(reader.handle(), options);
  try {
    const DesfireCard card(reader, options);
    if (command == "info") return info(card, json);
    if (command == "apps") return apps(card, json);
    if (command == "files") return files(card, json);
    return read(card, static_cast<uint8_t>(fileNo), options);
  } catch (const CliError& error) {
    explainFailure(chosen, error);
  }
}

}  // namespace norvex::cli
