// SPDX-License-Identifier: MIT
// The norvex ultralight subcommands on a tag's security: info (chip, counters, signature,
// protection), auth, protect and unprotect.
#pragma once

#include "cli/Commands.h"

namespace norvex::cli {

int runUltralightInfo(const Words& args);
int runUltralightAuth(const Words& args);
int runUltralightProtect(const Words& args);
int runUltralightUnprotect(const Words& args);
extern const char* const kUltralightSecurityUsage;

}  // namespace norvex::cli
