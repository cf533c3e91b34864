// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "sim/Reply.h"

namespace norvexsim {

class Field;

// Replaces the firmware's handling of an instruction when it returns a reply; std::nullopt lets
// the firmware go on as usual. It runs under the reader's lock with the reader's field, so it
// may forward to field.execute() after injecting something of its own (the way to model
// ISO 14443-4 WTX requests or chained answers), but must not call back into the Simulator for
// the same reader.
using InstructionHook = std::function<std::optional<Reply>(
    uint8_t instruction, const std::vector<uint8_t>& params, Field& field)>;

// Faults armed on one virtual reader. One-shot faults disarm themselves once applied.
struct FaultPlan {
  bool corruptNextCrc = false;              // next reply goes out with a wrong CRC
  bool staleNextSequence = false;           // next reply carries the previous sequence number
  unsigned silentRequests = 0;              // this many requests get no reply at all
  std::optional<int8_t> forcedStatus;       // next request is answered with this status, no data
  std::optional<unsigned> cardLeavesAfter;  // instructions until the card leaves the field
  std::vector<uint8_t> leavingCard;         // UID of the card that leaves; empty: every card
  InstructionHook hook;                     // stays until cleared
  unsigned replyDelayMs = 0;                // next reply goes out this late (a slow or hung reader)
  unsigned packetGapMs = 0;                 // pause between the packets of every reply (trickling)
};

// How the bus sends one reply: after a delay, with a pause between its packets.
struct ReplyPacing {
  unsigned delayMs = 0;
  unsigned gapMs = 0;
  unsigned modelledUs =
      0;  // in real-time mode: the exchange's modelled time, waited before replying
};

}  // namespace norvexsim
