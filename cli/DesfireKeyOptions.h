// SPDX-License-Identifier: MIT
// DESFire EV1 keys on the command line: a type (des, 2k3des, 3k3des, aes) and the key in hex, of
// the length its type takes, and the EV1 secure channel opened with them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "norvexapi.h"

namespace norvex::cli {

struct DesfireKey {
  DF_KEY_TYPE type = DF_KEY_DES;
  std::vector<uint8_t> bytes;
};

// "des", "2k3des", "3k3des" or "aes"; anything else is a usage error naming option.
DF_KEY_TYPE parseKeyType(const std::string& text, const std::string& option);
// The key in hex of option keyOption, of the type typeOption names. Without a type an 8-byte key
// is DES and a 16-byte one 2K3DES, as --key has always meant. A length the type does not take is
// a usage error.
DesfireKey parseDesfireKey(const Arguments& options, const std::string& keyOption,
                           const std::string& typeOption);
// A number in the given base, at most max; otherwise a usage error naming what.
unsigned parseDesfireNumber(const std::string& text, int base, unsigned max,
                            const std::string& what);
// Authenticates key --key-no (0 by default) with --key of --key-type, opening the EV1 channel.
void openEv1Channel(void* handle, const Arguments& options);
// Whether the EV1 channel is open on the session.
bool ev1ChannelOpen(void* handle);

}  // namespace norvex::cli
