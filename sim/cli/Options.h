// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvexsim {

// One reader to attach at start and the cards to place in its field.
struct ReaderSetup {
  uint16_t productId = 0;
  std::vector<std::string> cards;
  std::optional<uint8_t> jumperCode;  // serial speed code of the board's jumpers
};

// The command line of norvex-sim:
//   norvex-sim --socket PATH [--timing real|accounting] [--reader PID]... [--jumper SPEED]...
//              [--card CARD]...                                   serve virtual readers
//   norvex-sim --control PATH COMMAND...                          drive a running simulator
//   norvex-sim --help
struct Options {
  enum class Mode { kServe, kControl, kHelp };

  Mode mode = Mode::kServe;
  std::string socketPath;
  std::vector<ReaderSetup> readers;  // serve: never empty once parsed
  std::string controlCommand;        // control: the command words joined by spaces
  bool realTime = false;             // serve: replies wait for their modelled hardware time
};

// Each --card and --jumper applies to the reader of the last --reader before it, or to the
// default reader (product ID 0x0110) when none came before; without any --reader the default reader
// is the only one. Throws std::invalid_argument with a message for a bad command line.
Options parseOptions(const std::vector<std::string>& args);

// The usage text.
const char* usage();

}  // namespace norvexsim
