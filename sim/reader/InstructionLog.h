// SPDX-License-Identifier: MIT
#pragma once
#include <cstddef>
#include <deque>
#include <vector>

#include "sim/reader/LogEntry.h"

namespace norvexsim {

// The trace of one reader: the most recent exchanges, oldest first. Bounded, so that a simulator
// left running for hours under a scanning explorer keeps a steady memory footprint. Entries are
// stored raw and given their text when the log is read.
class InstructionLog {
 public:
  static constexpr size_t kCapacity = 10000;

  void append(LogEntry entry);
  void clear() { entries_.clear(); }
  size_t size() const { return entries_.size(); }
  // Every entry, with its text.
  std::vector<LogEntry> entries() const;

 private:
  std::deque<LogEntry> entries_;
};

}  // namespace norvexsim
