// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Reply.h"

namespace norvexsim {

class Field;
struct ReaderState;

// What an instruction handler may touch: the reader's field and its own settings, and a note for
// the instruction log (what the instruction changed that the reply does not show).
struct ReaderContext {
  Field& field;
  ReaderState& state;
  std::string note{};
};

using Params = std::vector<uint8_t>;
using InstructionHandler = Reply (*)(ReaderContext&, const Params&);

// The firmware's instruction set by code. An entry with a handler is a reader-level instruction;
// an entry with only a name is a card instruction that the field carries out.
class InstructionTable {
 public:
  struct Entry {
    std::string_view name;
    InstructionHandler handler = nullptr;
  };

  // The complete table of this firmware, built once.
  static const InstructionTable& firmware();

  void add(uint8_t code, std::string_view name, InstructionHandler handler = nullptr);
  const Entry& entry(uint8_t code) const { return entries_[code]; }

 private:
  std::array<Entry, 256> entries_{};
};

// "RdMfPiccRead" for a known code, "Instruction 0x7C" otherwise.
std::string instructionName(uint8_t code);

// Runs one instruction: a reader-level handler, else the field's card instruction, else the
// answer of the firmware to a code it does not know (a framing error status).
Reply executeInstruction(ReaderContext& context, uint8_t code, const Params& params);

// Registration of the instruction groups (one file each).
void registerCoreInstructions(InstructionTable& table);
void registerMaintenanceInstructions(InstructionTable& table);
void registerCardInstructionNames(InstructionTable& table);

}  // namespace norvexsim
