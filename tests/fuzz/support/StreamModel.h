#pragma once
// The byte stream a StrBufferContainer is meant to be, kept in a plain vector: the oracle of the
// buffer harness.
//
// Contents grow at the end; capacity starts at 512 and grows in whole 512-byte steps just as far as
// the contents need (or one step per explicit growth). A read may start at the write position,
// where it yields zeros, but not beyond it; a read that runs beyond consumes the bytes up to and
// including the one at the write position and yields nothing.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "api/StatusCodes.h"

class StreamModel {
 public:
  static constexpr size_t kStep = 512;

  void Append(std::span<const uint8_t> bytes) {
    contents.insert(contents.end(), bytes.begin(), bytes.end());
    while (contents.size() > capacity) capacity += kStep;
  }

  // n bytes from the read position into out (resized to n) on success.
  long Take(size_t n, std::vector<uint8_t>& out) {
    if (read > contents.size()) return read_too_long;
    const size_t takeable = contents.size() - read + 1;
    if (n > takeable) {
      read += takeable;
      return read_too_long;
    }
    out.assign(n, 0);
    for (size_t i = 0; i < n && read + i < contents.size(); ++i) out[i] = contents[read + i];
    read += n;
    return 0;
  }

  // A little-endian value of n bytes (n at most 4).
  long TakeValue(size_t n, uint32_t& value) {
    std::vector<uint8_t> bytes;
    const long result = Take(n, bytes);
    if (result != 0) return result;
    value = 0;
    for (size_t i = n; i > 0; --i) value = (value << 8) | bytes[i - 1];
    return 0;
  }

  void Reset() {
    contents.clear();
    read = 0;
    capacity = kStep;
  }
  void Grow() { capacity += kStep; }

  std::vector<uint8_t> contents;
  size_t read = 0;
  size_t capacity = kStep;
};
