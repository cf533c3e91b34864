// SPDX-License-Identifier: MIT
#pragma once
// What every fuzz target shares: a cursor over the input, caller buffers of an exact size, and a
// check that turns a violated property into a crash libFuzzer keeps, like a sanitizer report.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>

#define FUZZ_CHECK(condition)                                                                     \
  ((condition)                                                                                    \
       ? static_cast<void>(0)                                                                     \
       : (std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition), \
          std::abort()))

// Consumed from the front, so seed files read in the order a harness takes them. Past the end
// every value reads as zero and every byte run as empty.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : bytes(data, size) {}

  bool Empty() const { return position >= bytes.size(); }
  uint8_t Byte() { return Empty() ? 0 : bytes[position++]; }
  uint16_t Word() {  // little-endian, like every count on the reader's wire
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }
  uint32_t Long() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  std::span<const uint8_t> Bytes(size_t n) {
    const auto run = bytes.subspan(position, std::min(n, bytes.size() - position));
    position += run.size();
    return run;
  }

 private:
  std::span<const uint8_t> bytes;
  size_t position = 0;
};

// A heap buffer of exactly n bytes (non-null also for 0), so AddressSanitizer sees one byte past
// it.
inline std::unique_ptr<uint8_t[]> ExactBuffer(size_t n) {
  return std::make_unique<uint8_t[]>(n);
}
