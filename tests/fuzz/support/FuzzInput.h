#pragma once
// A cursor over one fuzz input, consumed from the front so that seed files read in the order the
// harness uses them. Past the end every value reads as zero and every byte run as empty, so a
// harness never has to check the length before taking something.

#include <cstddef>
#include <cstdint>
#include <span>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : bytes(data, size) {}

  bool Empty() const { return position >= bytes.size(); }
  size_t Remaining() const { return bytes.size() - position; }

  uint8_t Byte() { return Empty() ? 0 : bytes[position++]; }

  uint16_t Word() {  // little-endian, like every count on the reader's wire
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }

  uint32_t Long() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }

  // The next n bytes, or fewer when the input ends first.
  std::span<const uint8_t> Bytes(size_t n) {
    const size_t taken = n < Remaining() ? n : Remaining();
    const auto run = bytes.subspan(position, taken);
    position += taken;
    return run;
  }

 private:
  std::span<const uint8_t> bytes;
  size_t position = 0;
};
