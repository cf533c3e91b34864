// SPDX-License-Identifier: MIT
#include "sim/reader/InstructionLog.h"

namespace norvexsim {

void InstructionLog::append(LogEntry entry) {
  if (entries_.size() == kCapacity) entries_.pop_front();
  entries_.push_back(std::move(entry));
}

std::vector<LogEntry> InstructionLog::entries() const {
  std::vector<LogEntry> read(entries_.begin(), entries_.end());
  for (LogEntry& entry : read) entry.text = describe(entry);
  return read;
}

}  // namespace norvexsim
