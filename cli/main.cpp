// SPDX-License-Identifier: MIT
// norvex: readers, cards, Mifare Classic dumps and APDUs from the command line, built on the
// public API of libnorvexapi.
#include <exception>
#include <iostream>

#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Suggest.h"
#include "norvexapi.h"

using namespace norvex::cli;

namespace {

const Command kCommands[] = {
    {"readers", "list the readers with their product ID and firmware version", runReaders},
    {"scan", "list the cards in the field: UID, ATQA, SAK, type, ATS", runScan},
    {"classic", "Mifare Classic: dump, restore, keys, acl", runClassic},
    {"apdu", "send APDUs to an ISO 14443-4 card", runApdu},
    {"ultralight", "Mifare Ultralight / NTAG: dump, write, info, auth, protect", runUltralight},
    {"desfire", "Mifare DESFire: info, apps, files, read", runDesfire},
    {"ndef", "NFC Forum NDEF messages on any tag: read, write, format, erase", runNdef},
};

void printUsage(std::ostream& out) {
  out << "usage: norvex [--version] [--help] COMMAND [ARGS]...\n\ncommands:\n";
  for (const Command& command : kCommands)
    out << "  " << command.name << std::string(12 - std::string(command.name).size(), ' ')
        << command.summary << "\n";
  out << "\nRun 'norvex COMMAND --help' for a command's options. Exit status: 0 success, 1 card "
         "or\n"
         "reader error (or an incomplete result), 2 usage error. NORVEX_SIMULATOR selects a\n"
         "norvex-sim socket instead of USB readers.\n";
}

int dispatch(const Words& words) {
  if (words.empty()) {
    printUsage(std::cerr);
    return kExitUsage;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    printUsage(std::cout);
    return kExitOk;
  }
  if (words[0] == "--version") {
    std::cout << "norvex " << NORVEX_VERSION_MAJOR << "." << NORVEX_VERSION_MINOR << "."
              << NORVEX_VERSION_PATCH << " (libnorvexapi " << GetLibraryVersion() << ")\n";
    return kExitOk;
  }
  for (const Command& command : kCommands)
    if (words[0] == command.name) return command.run(Words(words.begin() + 1, words.end()));
  std::vector<std::string> names;
  for (const Command& command : kCommands) names.push_back(command.name);
  usageError("unknown command '" + words[0] + "'" + didYouMean(words[0], names) +
             " (see norvex --help)");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return dispatch(Words(argv + 1, argv + argc));
  } catch (const CliError& error) {
    std::cerr << "norvex: " << error.what() << "\n";
    return error.exitStatus();
  } catch (const std::exception& error) {
    std::cerr << "norvex: " << error.what() << "\n";
    return kExitCardError;
  }
}
