// SPDX-License-Identifier: MIT
#include "cli/DesfireKeyOptions.h"

#include <cstdlib>

#include "cli/CliError.h"
#include "cli/Output.h"

namespace norvex::cli {

namespace {

struct KeyTypeName {
  const char* name;
  DF_KEY_TYPE type;
  size_t length;
};
constexpr KeyTypeName kKeyTypes[] = {{"des", DF_KEY_DES, 8},
                                     {"2k3des", DF_KEY_2K3DES, 16},
                                     {"3k3des", DF_KEY_3K3DES, 24},
                                     {"aes", DF_KEY_AES, 16}};

const KeyTypeName& keyTypeEntry(DF_KEY_TYPE type) {
  for (const auto& entry : kKeyTypes)
    if (entry.type == type) return entry;
  return kKeyTypes[0];
}

}  // namespace

DF_KEY_TYPE parseKeyType(const std::string& text, const std::string& option) {
  for (const auto& entry : kKeyTypes)
    if (text == entry.name) return entry.type;
  usageError("--" + option + ": \"" + text + "\" is not des, 2k3des, 3k3des or aes");
}

DesfireKey parseDesfireKey(const Arguments& options, const std::string& keyOption,
                           const std::string& typeOption) {
  DesfireKey key;
  const std::string text = options.value(keyOption);
  if (!parseHex(text, key.bytes)) usageError("--" + keyOption + " needs the key in hex");
  if (options.has(typeOption)) {
    key.type = parseKeyType(options.value(typeOption), typeOption);
  } else if (key.bytes.size() == 16) {
    key.type = DF_KEY_2K3DES;
  } else if (key.bytes.size() != 8) {
    usageError("--" + keyOption + " needs 8 or 16 bytes in hex, or a --" + typeOption);
  }
  const KeyTypeName& entry = keyTypeEntry(key.type);
  if (key.bytes.size() != entry.length)
    usageError("--" + keyOption + ": " + entry.name + " keys have " + std::to_string(entry.length) +
               " bytes, not " + std::to_string(key.bytes.size()));
  return key;
}

unsigned parseDesfireNumber(const std::string& text, int base, unsigned max,
                            const std::string& what) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, base);
  if (text.empty() || text[0] == '-' || *end != '\0' || value > max)
    usageError(what + ": \"" + text + "\" is out of range");
  return static_cast<unsigned>(value);
}

void openEv1Channel(void* handle, const Arguments& options) {
  const DesfireKey key = parseDesfireKey(options, "key", "key-type");
  const unsigned keyNo = parseDesfireNumber(options.value("key-no", "0"), 10, 13, "--key-no");
  check(DF_AuthenticateEV1(handle, static_cast<uint8_t>(keyNo), key.type, key.bytes.data(),
                           static_cast<unsigned>(key.bytes.size())),
        "authenticating key " + std::to_string(keyNo));
}

bool ev1ChannelOpen(void* handle) {
  int active = 0;
  uint8_t keyNo = 0;
  DF_KEY_TYPE type = DF_KEY_DES;
  return DF_GetChannelEV1(handle, &active, &keyNo, &type) == NORVEX_OK && active != 0;
}

}  // namespace norvex::cli
