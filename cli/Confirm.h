// SPDX-License-Identifier: MIT
// Confirmation before a write that cannot be undone: lock and OTP bits, configuration pages,
// sector trailers.
#pragma once

#include <string>

#include "cli/Arguments.h"

namespace norvex::cli {

// Returns when the write may go ahead: --yes was given, or the user answered y on a terminal.
// Otherwise throws a usage error naming --yes (a script has no one to answer). `what` says what
// would change for good.
void confirmIrreversible(const Arguments& options, const std::string& what);

}  // namespace norvex::cli
