// SPDX-License-Identifier: MIT
#pragma once
#include <cstddef>
#include <string>

namespace norvexsim {

class Simulator;

// What control commands may create, so that a host cannot grow the simulator without end.
inline constexpr int kMaxControlReaders = 16;       // add: readers in all
inline constexpr int kMaxCardsPerField = 16;        // place: cards in one reader's field
inline constexpr size_t kMaxCardDescription = 512;  // place: characters of the CARD argument

// Runs one control command line of the simulator and returns its answer: a first line starting
// with "ok" or "error", then, for listings, exactly as many lines as the "ok N" announces. An
// error answer is a single line of printable characters. Commands run one at a time. Commands
// (READER is a reader index, UIDHEX a card UID in hexadecimal):
//   place READER CARD      -> "ok UIDHEX"
//   remove READER UIDHEX   -> "ok"
//   clear READER           -> "ok" (every card leaves the field)
//   list [READER]          -> "ok N", then "KIND UIDHEX" lines ("READER KIND UIDHEX" for all)
//   readers                -> "ok N", then "READER VVVV:PPPP plugged|unplugged" lines
//   add [PID]              -> "ok READER" (PID in 0x hexadecimal or decimal; default 0x0110)
//   unplug READER, replug READER -> "ok"
//   state READER           -> "ok N", then "NAME VALUE" lines (line speeds, RF scan, mode,
//                             LED and buzzer)
//   jumper READER SETTING  -> "ok" (a speed of the table, or code:N for a raw code byte)
//   fault READER KIND [N] [UIDHEX] -> "ok" (kinds: see FaultCommand.h)
//   timing [reset|real|accounting] -> modelled hardware time (see TimingCommand.h)
//   help                   -> "ok", then one line per command
std::string runControlCommand(Simulator& simulator, const std::string& commandLine);

}  // namespace norvexsim
