// SPDX-License-Identifier: MIT
// The readers present: every reader of the known models, USB or simulated.
#pragma once

#include <string>
#include <vector>

namespace norvex::cli {

struct ReaderId {
  std::string name;  // USB_n, counted per product ID
  int productId;
};

// In the order of knownProductIds(), then of the library's enumeration; throws CliError when the
// enumeration fails.
std::vector<ReaderId> readersPresent();

}  // namespace norvex::cli
