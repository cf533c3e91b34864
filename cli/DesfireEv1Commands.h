// SPDX-License-Identifier: MIT
// The norvex desfire subcommands that personalise an EV1 card (format, applications, keys, files,
// data) and read through its secure channel. Each is prepared from the options first (checked,
// confirmed when it cannot be undone) and then run on the card once it is connected, in the
// application --app names and authenticated with --key through the EV1 channel.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/Arguments.h"

namespace norvex::cli {

// Runs on the connected card's session and returns the exit status.
using DesfireAction = std::function<int(void* handle)>;

// The action of command, or an empty one when command is none of these. read is one of them only
// with --key-type (the EV1 channel); without it the original read serves.
DesfireAction prepareDesfireEv1(const std::string& command, const Arguments& options);
// more with the options these subcommands take.
std::vector<OptionDef> withDesfireEv1Options(std::vector<OptionDef> more);
extern const char* const kDesfireEv1Usage;

// The file subcommands (DesfireFileData.cpp).
DesfireAction prepareCreateFile(const Arguments& options);
DesfireAction prepareWrite(const Arguments& options);
DesfireAction prepareReadEv1(const Arguments& options);

// The words after the subcommand's name: exactly count of them, named in what for the error.
void requireArguments(const Arguments& options, size_t count, const std::string& what);
// --app must be there (inApplication) or must not (a command of the card level).
void requireApplication(const Arguments& options, bool inApplication, const std::string& command);
// The command needs the secure channel, so --key.
void requireKey(const Arguments& options, const std::string& command);

}  // namespace norvex::cli
