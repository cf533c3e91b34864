// SPDX-License-Identifier: MIT
#include "cli/CliError.h"

#include "norvexapi.h"

namespace norvex::cli {

void usageError(const std::string& message) {
  throw CliError(kExitUsage, message);
}

std::string statusMessage(const std::string& what, long status) {
  const char* text = GetErrorText(static_cast<int>(status));
  return what + ": " + (text != nullptr ? text : "unknown status") + " (" + std::to_string(status) +
         ")";
}

void check(long status, const std::string& what) {
  if (status != NORVEX_OK) throw CliError(kExitCardError, statusMessage(what, status));
}

}  // namespace norvex::cli
