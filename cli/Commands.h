// SPDX-License-Identifier: MIT
// The subcommands of norvex. Each takes the words after its name and returns the exit status;
// failures throw CliError.
#pragma once

#include <string>
#include <vector>

namespace norvex::cli {

using Words = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;
  int (*run)(const Words& args);
};

int runReaders(const Words& args);
int runScan(const Words& args);
int runClassic(const Words& args);
int runClassicDump(const Words& args);
int runClassicRestore(const Words& args);
int runClassicKeys(const Words& args);
int runClassicValue(const Words& args);
int runApdu(const Words& args);
int runUltralight(const Words& args);
int runDesfire(const Words& args);
int runNdef(const Words& args);

// Prints the help when --help is among the words (returns true), for subcommands without options.
bool printHelpIfAsked(const Words& args, const char* usage);

}  // namespace norvex::cli
