#pragma once
// A caller's output buffer of exactly the capacity the caller announces, on the heap, so that
// AddressSanitizer reports a single byte written or read past it. It starts filled with a known
// pattern, so the harness can tell whether the code under test touched it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

class ExactBuffer {
 public:
  static constexpr uint8_t kPattern = 0xC5;

  explicit ExactBuffer(size_t capacity)
      : storage(std::make_unique<uint8_t[]>(capacity)), capacity(capacity) {
    std::fill_n(storage.get(), capacity, kPattern);
  }

  uint8_t* data() { return storage.get(); }
  const uint8_t* data() const { return storage.get(); }
  size_t size() const { return capacity; }
  std::span<const uint8_t> View() const { return {storage.get(), capacity}; }

  bool Untouched() const {
    return std::all_of(storage.get(), storage.get() + capacity,
                       [](uint8_t b) { return b == kPattern; });
  }

 private:
  std::unique_ptr<uint8_t[]> storage;  // new[] of exactly capacity bytes, also for 0
  size_t capacity;
};
