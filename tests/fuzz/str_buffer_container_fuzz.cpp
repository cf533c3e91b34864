// SPDX-License-Identifier: MIT
// StrBufferContainer and the CommandObject built on it, driven by a fuzzed list of writes and reads
// of every width; every read goes into a heap buffer of exactly its width.
//
// Input: opcode bytes with their operands. Opcodes below 0x80 act on a bare StrBufferContainer,
// from 0x80 on on a CommandObject.
// Checked on the container: stored bytes stay as written (also across growth), and a successful
// read yields the bytes at the read position (zero just past the contents).

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "support/Fuzz.h"
#include "transport/CommandObject.h"
#include "transport/StrBufferContainer.h"

namespace {

constexpr size_t kLargeMask = 0x1FFF;  // bulk writes and reads of up to 8 KiB, beyond several steps

void CheckBytesRead(StrBufferContainer& container, const std::vector<uint8_t>& written, size_t n) {
  const size_t from = container.GetReadPosition();
  const auto out = ExactBuffer(n);
  if (container.Read(out.get(), static_cast<unsigned long>(n)) != 0) return;
  FUZZ_CHECK(from + n <= written.size() + 1);
  for (size_t i = 0; i < n; ++i) {
    FUZZ_CHECK(out[i] == (from + i < written.size() ? written[from + i] : 0));
  }
}

void ContainerStep(FuzzInput& input, uint8_t op, StrBufferContainer& c,
                   std::vector<uint8_t>& written) {
  const size_t before = c.GetWritePosition();
  if (op % 10 == 8) {
    c.Reset();
    written.clear();
    return;
  }
  const std::function<void()> steps[] = {
      [&] { c.Write(input.Byte()); },
      [&] { c.Write(input.Word()); },
      [&] { c.Write(static_cast<unsigned long>(input.Long()) << 16 | input.Word()); },  // low 32
      [&] {
        const auto bytes = input.Bytes(input.Word() & kLargeMask);
        c.Write(bytes.data(), static_cast<unsigned long>(bytes.size()));
      },
      [&] { c.Read(std::make_unique<unsigned char>().get()); },
      [&] { c.Read(std::make_unique<short>().get()); },
      [&] { c.Read(std::make_unique<unsigned long>().get()); },
      [&] { CheckBytesRead(c, written, input.Word() & kLargeMask); },
      [] {},  // 8: Reset, above
      [&] {
        if (c.GetBufferSize() < 64 * 1024) c.IncBufferSize();  // bounded, so no input gets slow
      },
  };
  steps[op % 10]();
  const size_t after = c.GetWritePosition();
  FUZZ_CHECK(after >= before && c.GetReadPosition() <= after + 1);
  FUZZ_CHECK(before == 0 || std::memcmp(c.GetBuffer(), written.data(), before) == 0);
  written.insert(written.end(), c.GetBuffer() + before, c.GetBuffer() + after);
}

// Parameters out and reply data in. The byte after the opcode picks the block a bulk write fills
// (bit 0 set: parameters) and the length of a byte read.
void CommandStep(FuzzInput& input, uint8_t op, CommandObject& cmd) {
  unsigned char byte = input.Byte();
  const auto bytes = input.Bytes(op == 1 ? input.Word() & kLargeMask : 0);
  unsigned long n = bytes.size();
  auto word = std::make_unique<unsigned short>();
  const std::function<void()> steps[] = {
      [&] { cmd.AddParam(static_cast<unsigned long>(input.Long())); },
      [&] { (byte & 1) != 0 ? cmd.AddParam(bytes.data(), n) : cmd.SetDataBuffer(bytes.data(), n); },
      [&] { cmd.SetDataByte(byte); },
      [&] { cmd.GetParam(*word); },
      [&] {
        n = byte;
        cmd.GetParam(ExactBuffer(n).get(), n);
      },
      [&] { cmd.ResetBuffers(); },
  };
  steps[op]();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  StrBufferContainer container;
  std::vector<uint8_t> written;
  auto cmd = std::make_unique<CommandObject>();
  while (!input.Empty()) {
    const uint8_t op = input.Byte();
    if (op < 0x80) {
      ContainerStep(input, op, container, written);
    } else {
      CommandStep(input, (op & 0x7F) % 6, *cmd);
    }
  }
  return 0;
}
