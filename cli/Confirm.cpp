// SPDX-License-Identifier: MIT
#include "cli/Confirm.h"

#include <unistd.h>

#include <iostream>

#include "cli/CliError.h"

namespace norvex::cli {

void confirmIrreversible(const Arguments& options, const std::string& what) {
  if (options.has("yes")) return;
  if (isatty(STDIN_FILENO) != 1 || isatty(STDERR_FILENO) != 1)
    usageError(what + ": not done without confirmation (--yes confirms)");
  std::cerr << "norvex: " << what << ". Continue? [y/N] " << std::flush;
  std::string answer;
  std::getline(std::cin, answer);
  if (answer != "y" && answer != "Y" && answer != "yes")
    throw CliError(kExitCardError, "cancelled: nothing written");
}

}  // namespace norvex::cli
