#include "sim/reader/InstructionLog.h"

namespace norvexsim {

void InstructionLog::append(LogEntry entry) {
  if (entries_.size() == kCapacity) entries_.pop_front();
  entries_.push_back(std::move(entry));
}

}  // namespace norvexsim
