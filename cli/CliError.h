// SPDX-License-Identifier: MIT
// How a subcommand fails: an error carries the exit status and the one line printed on stderr.
#pragma once

#include <stdexcept>
#include <string>

namespace norvex::cli {

enum ExitStatus { kExitOk = 0, kExitCardError = 1, kExitUsage = 2 };

class CliError : public std::runtime_error {
 public:
  CliError(int exitStatus, const std::string& message)
      : std::runtime_error(message), exitStatus_(exitStatus) {}
  int exitStatus() const { return exitStatus_; }

 private:
  int exitStatus_;
};

[[noreturn]] void usageError(const std::string& message);
// "what: <library status text> (<code>)"
std::string statusMessage(const std::string& what, long status);
// Throws a card or reader error unless status is NORVEX_OK.
void check(long status, const std::string& what);

}  // namespace norvex::cli
