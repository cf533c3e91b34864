// SPDX-License-Identifier: MIT
// Reaching an Ultralight / NTAG tag that may be protected: activating it and proving the password
// (NTAG21x, Ultralight EV1) or the 3DES key (Ultralight C) given on the command line.
//
// The tag forgets the authentication whenever it goes idle, and a refused command sends it idle,
// so every command activates it through activateTag, which authenticates again each time. A wrong
// password or key stops the command at once: the tag counts each wrong password against AUTHLIM,
// and retrying would spend that count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Arguments.h"

namespace norvex::cli {

struct TagCredentials {
  std::vector<uint8_t> password;  // PWD, 4 bytes, or empty
  std::vector<uint8_t> pack;      // PACK expected in answer, 2 bytes, or empty
  std::vector<uint8_t> key;       // Ultralight C 3DES key, 16 bytes, or empty
  bool any() const { return !password.empty() || !key.empty(); }
};

// more with --password HEX, --pack HEX and --key HEX.
std::vector<OptionDef> withCredentialOptions(std::vector<OptionDef> more);
// The credentials the options give; usage errors for a wrong length, for --pack without
// --password and for --password with --key.
TagCredentials parseCredentials(const Arguments& options);
// A hex option of exactly length bytes (8 hex digits for 4), or a usage error naming it.
std::vector<uint8_t> hexOption(const Arguments& options, const std::string& name,
                               std::size_t length);

// Activates the idle tag and returns its 7-byte UID; a card that is no Ultralight / NTAG is named.
std::vector<uint8_t> selectTag(void* session);
// The authentication the credentials ask for, on the active tag (none without credentials).
// Throws a card error when the tag refuses the password or key; pack receives the tag's PACK when
// not null.
void authenticateTag(void* session, const TagCredentials& credentials, uint8_t* pack = nullptr);
// selectTag, then the authentication the credentials ask for. Returns the UID; throws a card error
// when the tag refuses the password or key. pack receives the tag's PACK when not null.
std::vector<uint8_t> activateTag(void* session, const TagCredentials& credentials,
                                 uint8_t* pack = nullptr);

}  // namespace norvex::cli
