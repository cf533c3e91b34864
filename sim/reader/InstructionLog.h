#pragma once
#include <cstddef>
#include <deque>
#include <vector>

#include "sim/reader/LogEntry.h"

namespace norvexsim {

// The trace of one reader: the most recent exchanges, oldest first. Bounded, so that a simulator
// left running for hours under a scanning explorer keeps a steady memory footprint.
class InstructionLog {
 public:
  static constexpr size_t kCapacity = 10000;

  void append(LogEntry entry);
  void clear() { entries_.clear(); }
  size_t size() const { return entries_.size(); }
  std::vector<LogEntry> entries() const { return {entries_.begin(), entries_.end()}; }

 private:
  std::deque<LogEntry> entries_;
};

}  // namespace norvexsim
