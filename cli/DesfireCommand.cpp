// SPDX-License-Identifier: MIT
// norvex desfire: a DESFire card's version, its applications, an application's files and a
// file's contents, authenticated with a key when one is given.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/DesfireEv1Commands.h"
#include "cli/DesfireKeyOptions.h"
#include "cli/Output.h"
#include "cli/ReaderSession.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr const char* kUsage =
    "usage: norvex desfire COMMAND [--key HEX [--key-type T] [--key-no N]] [--reader USB_n]\n"
    "  info                          version, UID and the card's key settings\n"
    "  apps                          the applications' AIDs\n"
    "  files --app AID               the application's files and their settings\n"
    "  read --app AID --file N       a file's data, value or records\n"
    "AID is 6 hex digits. --key (8 or 16 bytes in hex) authenticates key --key-no (0 by default)\n"
    "of the card, or of the application with --app; file data then travels as the file says.\n";

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
  explicit DesfireCard(const Arguments& options, bool ev1Channel = false) : reader_(options) {
    check(DF_Connect(reader_.handle()), "activating the card");
    if (options.has("app")) {
      const unsigned aid = parseNumber(options.value("app"), 16, 0xFFFFFF, "--app");
      check(DF_SelectApp(reader_.handle(), aid), "selecting " + options.value("app"));
    }
    if (!options.has("key")) return;
    if (ev1Channel || options.has("key-type")) {
      openEv1Channel(reader_.handle(), options);
      return;
    }
    std::vector<uint8_t> key;
    if (!parseHex(options.value("key"), key) || (key.size() != 8 && key.size() != 16))
      usageError("--key needs 8 or 16 bytes in hex");
    std::copy_n(key.begin(), 8, key_.K1);
    std::copy_n(key.begin() + (key.size() == 16 ? 8 : 0), 8, key_.K2);
    const unsigned keyNo = parseNumber(options.value("key-no", "0"), 10, 13, "--key-no");
    const tag_des_key cardKey = key_;
    check(DF_AuthKey(reader_.handle(), static_cast<uint8_t>(keyNo), &cardKey, &key_),
          "authenticating key " + std::to_string(keyNo));
    authenticated_ = true;
  }
  void* handle() const { return reader_.handle(); }
  const tag_des_key* sessionKey() const { return authenticated_ ? &key_ : nullptr; }

 private:
  ReaderSession reader_;
  tag_des_key key_{};
  bool authenticated_ = false;
};

int info(const DesfireCard& card) {
  uint8_t version[28];
  check(DF_GetVersionI(card.handle(), version), "reading the version");
  std::cout << "UID       " << hex(version + 14, 7) << "\n"
            << "hardware  " << hex(version, 7) << "\n"
            << "software  " << hex(version + 7, 7) << "\n"
            << "batch     " << hex(version + 21, 5) << "\n"
            << "made      week " << hex(version + 26, 1) << " of 20" << hex(version + 27, 1)
            << "\n";
  uint8_t settings = 0, maxKeys = 0;
  const long status = DF_GetKeySettings(card.handle(), &settings, &maxKeys);
  if (status == NORVEX_OK)
    std::cout << "settings  " << hex(&settings, 1) << "\n";
  else
    std::cout << "settings  (" << statusMessage("key settings", status) << ")\n";
  return kExitOk;
}

int apps(const DesfireCard& card) {
  unsigned aids[28];
  uint16_t count = 28;
  check(DF_ListApps(card.handle(), aids, &count), "listing the applications");
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t aid[3] = {static_cast<uint8_t>(aids[i] >> 16), static_cast<uint8_t>(aids[i] >> 8),
                            static_cast<uint8_t>(aids[i])};
    std::cout << hex(aid, 3) << "\n";
  }
  return kExitOk;
}

FileInfo fileInfo(const DesfireCard& card, uint8_t fileNo) {
  FileInfo file;
  check(DF_GetFileSettings(card.handle(), fileNo, &file.commSet, &file.type, file.acl,
                           &file.extraLen, file.extra),
        "reading the settings of file " + std::to_string(fileNo));
  return file;
}

std::string rights(const FileInfo& file) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const uint8_t key = file.acl[i];
    text += (i ? " " : "") + (key == 14   ? std::string("free")
                              : key == 15 ? "never"
                                          : std::to_string(key));
  }
  return text;
}

std::string sizeText(const FileInfo& file) {
  if (file.type <= kBackup) return std::to_string(file.number(0)) + " bytes";
  if (file.type == kValue) return "value";
  return std::to_string(file.number(6)) + " of " + std::to_string(file.number(3)) + " records of " +
         std::to_string(file.number(0)) + " bytes";
}

int files(const DesfireCard& card) {
  uint8_t ids[16], count = 0;
  check(DF_GetFileIDs(card.handle(), &count, ids), "listing the files");
  std::vector<std::vector<std::string>> rows;
  for (uint8_t i = 0; i < count; ++i) {
    const FileInfo file = fileInfo(card, ids[i]);
    const char* comm = file.commSet == COMM_PLAIN   ? "plain"
                       : file.commSet == COMM_MACED ? "maced"
                                                    : "enciphered";
    rows.push_back({std::to_string(ids[i]), file.type < 5 ? kTypeNames[file.type] : "unknown", comm,
                    rights(file), sizeText(file)});
  }
  printTable(std::cout, {"FILE", "TYPE", "COMM", "READ WRITE RW CHANGE", "SIZE"}, rows);
  return kExitOk;
}

int read(const DesfireCard& card, uint8_t fileNo) {
  const FileInfo file = fileInfo(card, fileNo);
  const auto set = static_cast<FILE_COMM_SET>(file.commSet);
  if (set != COMM_PLAIN && card.sessionKey() == nullptr)
    throw CliError(kExitCardError, "file " + std::to_string(fileNo) +
                                       " is MACed or enciphered: authenticate with --key");
  if (file.type == kValue) {
    unsigned value = 0;
    check(DF_GetValue(card.handle(), fileNo, set, &value, card.sessionKey()), "reading the value");
    std::cout << static_cast<int>(value) << "\n";
    return kExitOk;
  }
  if (file.type <= kBackup) {
    unsigned length = file.number(0);
    std::vector<uint8_t> data(length);
    if (length > 0)
      check(DF_ReadData(card.handle(), fileNo, set, 0, &length, data.data(), card.sessionKey()),
            "reading file " + std::to_string(fileNo));
    std::cout << hex(data.data(), length) << "\n";
    return kExitOk;
  }
  const unsigned recordSize = file.number(0);
  unsigned count = file.number(6);
  std::vector<uint8_t> records(static_cast<size_t>(count) * recordSize);
  if (count > 0)
    check(DF_ReadRecords(card.handle(), fileNo, set, 0, &count, records.data(), recordSize,
                         card.sessionKey()),
          "reading the records of file " + std::to_string(fileNo));
  for (unsigned i = 0; i < count; ++i)
    std::cout << hex(&records[i * recordSize], recordSize) << "\n";
  return kExitOk;
}

}  // namespace

int runDesfire(const Words& args) {
  Arguments options(
      args,
      readerOptions(withDesfireEv1Options(
          {{"key", 'k', true}, {"key-no", 0, true}, {"app", 'a', true}, {"file", 'f', true}})));
  if (options.has("help") || options.positional().empty()) {
    if (!options.has("help")) usageError("desfire needs a command: info, apps, files or read");
    return std::cout << kUsage << kDesfireEv1Usage, kExitOk;
  }
  const std::string command = options.positional()[0];
  if (const DesfireAction action = prepareDesfireEv1(command, options)) {
    const DesfireCard card(options, true);
    return action(card.handle());
  }
  if (options.positional().size() > 1) usageError("desfire " + command + " takes no arguments");
  const bool inApplication = command == "files" || command == "read";
  if (command != "info" && command != "apps" && !inApplication)
    usageError("unknown desfire command '" + command + "'");
  if (inApplication && !options.has("app")) usageError("desfire " + command + " needs --app AID");
  if (command == "read" && !options.has("file")) usageError("desfire read needs --file N");
  const unsigned fileNo = parseNumber(options.value("file", "0"), 10, 15, "--file");
  const DesfireCard card(options);
  if (command == "info") return info(card);
  if (command == "apps") return apps(card);
  if (command == "files") return files(card);
  return read(card, static_cast<uint8_t>(fileNo));
}

}  // namespace norvex::cli
