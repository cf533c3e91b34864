// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// Counts the heap allocations (malloc, calloc, realloc, aligned allocations, and every operator
// new, which goes through malloc) made by the calling thread while a count is running. Other
// threads, such as the simulator's, are never counted. Linked into the benchmark programs only:
// it replaces the C library's allocation entry points for the whole process.
class AllocationCount {
 public:
  // Starts counting on the calling thread.
  AllocationCount();
  // Stops counting.
  ~AllocationCount();
  AllocationCount(const AllocationCount&) = delete;
  AllocationCount& operator=(const AllocationCount&) = delete;

  // Allocations of the calling thread since construction.
  uint64_t Allocations() const;

 private:
  uint64_t start_;
};
