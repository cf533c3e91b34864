// SPDX-License-Identifier: MIT
#pragma once
#include <string>
#include <vector>

namespace norvexsim {

class Simulator;

// The modelled hardware time (the words after "timing"):
//   (none)               -> "ok N", then "READER exchanges N modelled_us T" for every reader:
//                           its exchanges and their modelled time since the last reset
//   reset                -> "ok": every reader's totals back to 0
//   real | accounting    -> "ok": replies wait for their modelled time, or do not
// Throws std::invalid_argument with a message for anything else.
std::string runTimingCommand(Simulator& simulator, const std::vector<std::string>& args);

}  // namespace norvexsim
