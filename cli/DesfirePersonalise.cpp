// SPDX-License-Identifier: MIT
// norvex desfire format, create-app, delete-app, change-key, uid and free: the card-level and key
// commands of a DESFire EV1 card.
#include <iostream>

#include "cli/CliError.h"
#include "cli/Confirm.h"
#include "cli/DesfireEv1Commands.h"
#include "cli/DesfireKeyOptions.h"
#include "cli/Output.h"
#include "dump/Hex.h"
#include "norvexapi.h"

namespace norvex::cli {

const char* const kDesfireEv1Usage =
    "  uid                           the card's real UID (needs --key; random-UID cards too)\n"
    "  free                          the card's free memory in bytes\n"
    "  format                        erases every application (PICC master key)\n"
    "  create-app AID [--app-key-type T] [--keys N] [--settings HEX] [--iso-fid HEX]\n"
    "             [--df-name HEX]    a new application (1 DES key, settings 0F by default)\n"
    "  delete-app AID                deletes an application and its files\n"
    "  change-key N --new-key HEX [--new-key-type T] [--old-key HEX] [--key-version V]\n"
    "                                changes key N (--old-key when N is not the key in use)\n"
    "  create-file --app AID --file N --size N [--type std|backup] [--comm plain|mac|enc]\n"
    "             [--access R,W,RW,CHANGE] [--iso-fid HEX]\n"
    "  write --app AID --file N [--offset N] (HEX | -i FILE)\n"
    "--key-type des|2k3des|3k3des|aes types --key (8, 16, 24 or 16 bytes) and authenticates\n"
    "through the EV1 secure channel, which every command above uses. format, delete-app and\n"
    "change-key ask before going ahead; --yes answers for them.\n";

namespace {

unsigned parseAid(const std::string& text) {
  if (text.size() != 6) usageError("AID \"" + text + "\" is not 6 hex digits");
  return parseDesfireNumber(text, 16, 0xFFFFFF, "AID");
}

DesfireAction prepareUid(const Arguments& options) {
  requireArguments(options, 0, "uid");
  requireKey(options, "uid");
  return [](void* handle) {
    uint8_t uid[7];
    check(DF_GetCardUIDEV1(handle, uid), "reading the card's UID");
    std::cout << hex::encode(uid, 7) << "\n";
    return kExitOk;
  };
}

DesfireAction prepareFree(const Arguments& options) {
  requireArguments(options, 0, "free");
  requireApplication(options, false, "free");
  return [](void* handle) {
    unsigned freeBytes = 0;
    check(DF_GetFreeMemoryEV1(handle, &freeBytes), "reading the free memory");
    std::cout << freeBytes << "\n";
    return kExitOk;
  };
}

DesfireAction prepareFormat(const Arguments& options) {
  requireArguments(options, 0, "format");
  requireApplication(options, false, "format");
  confirmIrreversible(options, "formatting deletes every application and file of the card");
  return [](void* handle) {
    check(DF_FormatCard(handle), "formatting the card");
    return kExitOk;
  };
}

struct NewApplication {
  unsigned aid = 0;
  uint8_t settings = 0x0F, keys = 1;
  DF_KEY_TYPE keyType = DF_KEY_DES;
  bool hasIsoFid = false;
  uint16_t isoFid = 0;
  std::vector<uint8_t> dfName;
};

DesfireAction prepareCreateApp(const Arguments& options) {
  requireArguments(options, 1, "create-app AID");
  requireApplication(options, false, "create-app");
  NewApplication app;
  app.aid = parseAid(options.positional()[1]);
  if (app.aid == 0) usageError("create-app: AID 000000 is the card level");
  if (options.has("app-key-type"))
    app.keyType = parseKeyType(options.value("app-key-type"), "app-key-type");
  app.keys = static_cast<uint8_t>(parseDesfireNumber(options.value("keys", "1"), 10, 14, "--keys"));
  if (app.keys == 0) usageError("--keys: an application has 1 to 14 keys");
  app.settings = static_cast<uint8_t>(
      parseDesfireNumber(options.value("settings", "0F"), 16, 0xFF, "--settings"));
  app.hasIsoFid = options.has("iso-fid");
  if (app.hasIsoFid)
    app.isoFid = static_cast<uint16_t>(
        parseDesfireNumber(options.value("iso-fid"), 16, 0xFFFF, "--iso-fid"));
  if (options.has("df-name")) {
    if (!app.hasIsoFid) usageError("--df-name needs --iso-fid");
    if (!parseHex(options.value("df-name"), app.dfName) || app.dfName.empty() ||
        app.dfName.size() > 16)
      usageError("--df-name needs 1 to 16 bytes in hex");
  }
  return [app](void* handle) {
    check(DF_CreateAppEV1(handle, app.aid, app.settings, app.keys, app.keyType,
                          app.hasIsoFid ? &app.isoFid : nullptr,
                          app.dfName.empty() ? nullptr : app.dfName.data(),
                          static_cast<uint8_t>(app.dfName.size())),
          "creating application " +
              hex::encode(std::vector<uint8_t>{static_cast<uint8_t>(app.aid >> 16),
                                               static_cast<uint8_t>(app.aid >> 8),
                                               static_cast<uint8_t>(app.aid)}));
    return kExitOk;
  };
}

DesfireAction prepareDeleteApp(const Arguments& options) {
  requireArguments(options, 1, "delete-app AID");
  requireApplication(options, false, "delete-app");
  const unsigned aid = parseAid(options.positional()[1]);
  confirmIrreversible(options,
                      "application " + options.positional()[1] + " and all its files are deleted");
  return [aid](void* handle) {
    check(DF_DeleteApp(handle, aid), "deleting the application");
    return kExitOk;
  };
}

struct KeyChange {
  uint8_t keyNo = 0, version = 0;
  DesfireKey newKey, oldKey;
};

DesfireAction prepareChangeKey(const Arguments& options) {
  requireArguments(options, 1, "change-key N");
  requireKey(options, "change-key");
  if (!options.has("new-key")) usageError("change-key needs --new-key HEX");
  KeyChange change;
  change.keyNo = static_cast<uint8_t>(
      parseDesfireNumber(options.positional()[1], 10, 13, "change-key: key number"));
  // The new key has the type of the key in use unless told otherwise (an application's keys all
  // have one type; only the card master key may change type).
  change.newKey = parseDesfireKey(options, "new-key",
                                  options.has("new-key-type") ? "new-key-type" : "key-type");
  change.version = static_cast<uint8_t>(
      parseDesfireNumber(options.value("key-version", "0"), 10, 255, "--key-version"));
  if (options.has("old-key")) {
    change.oldKey = parseDesfireKey(options, "old-key",
                                    options.has("new-key-type") ? "new-key-type" : "key-type");
  }
  const unsigned inUse = parseDesfireNumber(options.value("key-no", "0"), 10, 13, "--key-no");
  if (change.keyNo != inUse && change.oldKey.bytes.empty())
    usageError("change-key: key " + std::to_string(change.keyNo) +
               " is not the key in use, so --old-key must give its present value");
  confirmIrreversible(options, "key " + std::to_string(change.keyNo) +
                                   " changes; its old value no longer opens the card");
  return [change](void* handle) {
    const auto& oldKey = change.oldKey.bytes;
    check(DF_ChangeKeyEV1(handle, change.keyNo, change.newKey.type, change.newKey.bytes.data(),
                          static_cast<unsigned>(change.newKey.bytes.size()), change.version,
                          oldKey.empty() ? nullptr : oldKey.data(),
                          static_cast<unsigned>(oldKey.size())),
          "changing key " + std::to_string(change.keyNo));
    return kExitOk;
  };
}

struct Ev1Command {
  const char* name;
  DesfireAction (*prepare)(const Arguments& options);
};
constexpr Ev1Command kCommands[] = {
    {"uid", prepareUid},
    {"free", prepareFree},
    {"format", prepareFormat},
    {"create-app", prepareCreateApp},
    {"delete-app", prepareDeleteApp},
    {"change-key", prepareChangeKey},
    {"create-file", prepareCreateFile},
    {"write", prepareWrite},
};

}  // namespace

DesfireAction prepareDesfireEv1(const std::string& command, const Arguments& options) {
  // A key that does not fit its type is refused before the card is reached.
  if (options.has("key")) parseDesfireKey(options, "key", "key-type");
  if (options.has("key-type") && !options.has("key")) usageError("--key-type goes with --key");
  if (command == "read") return options.has("key-type") ? prepareReadEv1(options) : nullptr;
  for (const auto& entry : kCommands)
    if (command == entry.name) return entry.prepare(options);
  return nullptr;
}

std::vector<OptionDef> withDesfireEv1Options(std::vector<OptionDef> more) {
  const std::vector<OptionDef> ev1 = {
      {"key-type", 't', true}, {"yes", 'y', false},     {"app-key-type", 0, true},
      {"keys", 0, true},       {"settings", 0, true},   {"iso-fid", 0, true},
      {"df-name", 0, true},    {"type", 0, true},       {"size", 0, true},
      {"comm", 0, true},       {"access", 0, true},     {"offset", 0, true},
      {"input", 'i', true},    {"new-key", 0, true},    {"new-key-type", 0, true},
      {"old-key", 0, true},    {"key-version", 0, true}};
  more.insert(more.end(), ev1.begin(), ev1.end());
  return more;
}

void requireArguments(const Arguments& options, size_t count, const std::string& what) {
  if (options.positional().size() != count + 1)
    usageError("desfire " + what + (count == 0 ? " takes no arguments" : ": wrong arguments"));
}

void requireApplication(const Arguments& options, bool inApplication, const std::string& command) {
  if (inApplication && !options.has("app")) usageError("desfire " + command + " needs --app AID");
  if (!inApplication && options.has("app"))
    usageError("desfire " + command + " works at the card level: no --app");
}

void requireKey(const Arguments& options, const std::string& command) {
  if (!options.has("key"))
    usageError("desfire " + command + " needs an authentication: --key (and --key-type)");
}

}  // namespace norvex::cli
