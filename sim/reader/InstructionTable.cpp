// SPDX-License-Identifier: MIT
#include "sim/reader/InstructionTable.h"

#include <cstdio>

#include "sim/cards/Field.h"
#include "sim/reader/StatusByte.h"

namespace norvexsim {

const InstructionTable& InstructionTable::firmware() {
  static const InstructionTable table = [] {
    InstructionTable built;
    registerCardInstructionNames(built);
    registerCoreInstructions(built);
    registerMaintenanceInstructions(built);
    return built;
  }();
  return table;
}

void InstructionTable::add(uint8_t code, std::string_view name, InstructionHandler handler) {
  entries_[code] = Entry{name, handler};
}

std::string instructionName(uint8_t code) {
  const auto& entry = InstructionTable::firmware().entry(code);
  if (!entry.name.empty()) return std::string(entry.name);
  char text[24];
  std::snprintf(text, sizeof text, "Instruction 0x%02X", code);
  return text;
}

Reply executeInstruction(ReaderContext& context, uint8_t code, const Params& params) {
  const auto& entry = InstructionTable::firmware().entry(code);
  if (entry.handler != nullptr) return entry.handler(context, params);
  if (auto reply = context.field.execute(code, params)) return *std::move(reply);
  return Reply{status::kFramingError, {}};
}

}  // namespace norvexsim
