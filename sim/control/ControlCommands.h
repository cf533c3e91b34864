#pragma once
#include <string>

namespace norvexsim {

class Simulator;

// Runs one control command line of the simulator and returns its answer: a first line starting
// with "ok" or "error", then, for listings, one line per item. Commands (READER is a reader
// index, UIDHEX a card UID in hexadecimal):
//   place READER CARD      -> "ok UIDHEX"
//   remove READER UIDHEX   -> "ok"
//   clear READER           -> "ok" (every card leaves the field)
//   list [READER]          -> "ok N", then "KIND UIDHEX" lines ("READER KIND UIDHEX" for all)
//   readers                -> "ok N", then "READER VVVV:PPPP plugged|unplugged" lines
//   add [PID]              -> "ok READER" (PID in 0x hexadecimal or decimal; default 0x0110)
//   unplug READER, replug READER -> "ok"
//   fault READER KIND [N] [UIDHEX] -> "ok" (kinds: see FaultCommand.h)
//   help                   -> "ok", then one line per command
std::string runControlCommand(Simulator& simulator, const std::string& commandLine);

}  // namespace norvexsim
