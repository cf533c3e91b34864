// SPDX-License-Identifier: MIT
#include "sim/reader/LogEntry.h"

#include <cstdio>

#include "sim/reader/InstructionTable.h"

namespace norvexsim {

std::string spacedHex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

std::string describe(const LogEntry& entry) {
  if (entry.droppedPacket) {
    return "packet dropped: starts with " + spacedHex(entry.params) + " instead of A5";
  }
  char head[48];
  std::snprintf(head, sizeof head, "#%02X 0x%02X ", entry.sequence, entry.instruction);
  std::string text =
      head + instructionName(entry.instruction) + " [" + spacedHex(entry.params) + "]";
  if (entry.answered) {
    text += " -> status " + std::to_string(entry.status) + " [" + spacedHex(entry.reply) + "]";
  } else {
    text += " -> no reply";
  }
  if (!entry.note.empty()) text += " (" + entry.note + ")";
  text += " [modelled " + std::to_string(entry.modelledUs) + " us]";
  return text;
}

}  // namespace norvexsim
