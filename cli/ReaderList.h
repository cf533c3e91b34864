// SPDX-License-Identifier: MIT
// The readers present (USB and simulated), and the message that names them when the reader asked
// for is not among them.
#pragma once

#include <string>
#include <vector>

namespace norvex::cli {

struct ReaderId {
  std::string name;  // USB_n, numbered per product ID
  int productId;
};

// Every reader of the known models, USB or simulated: in the order of knownProductIds(), then of
// the library's enumeration. A failure to list throws CliError.
std::vector<ReaderId> presentReaders();
std::string productText(int productId);  // "0x0110"

// "<reader>: <status text> (3002); readers present: USB_0 (0x0110); simulator socket PATH
// (NORVEX_SIMULATOR)": what a user needs to pick another reader or start the simulator.
std::string readerNotFoundMessage(const std::string& reader, long status);

}  // namespace norvex::cli
