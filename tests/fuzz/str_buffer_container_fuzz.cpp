// StrBufferContainer and CommandObject driven by a fuzzed sequence of writes and reads of every
// width, compared after every step with a plain model of the byte stream (support/StreamModel.h).
//
// Input: a list of operations, each an opcode byte and its operands. Opcodes below 0x80 act on a
// bare StrBufferContainer; from 0x80 on they act on a CommandObject (parameters out, reply data
// in, status). Checked after each step: results, values read (little-endian, sign-extended where
// signed), read and write positions, capacity and the stored bytes; a failed read leaves its
// output alone. Every read goes into a buffer of exactly its width on the heap.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "api/StatusCodes.h"
#include "support/Check.h"
#include "support/ExactBuffer.h"
#include "support/FuzzInput.h"
#include "support/StreamModel.h"
#include "transport/CommandObject.h"
#include "transport/StrBufferContainer.h"

namespace {

constexpr size_t kLargeWriteMask = 0x1FFF;  // bulk writes of up to 8 KiB, beyond several steps
constexpr size_t kGrowthLimit = 64 * 1024;

bool SameContents(const unsigned char* stored, unsigned long length, const StreamModel& model) {
  return length == model.contents.size() &&
         (length == 0 || std::memcmp(stored, model.contents.data(), length) == 0);
}

// Reads one value of type T (of the given wire width) and compares it with the model.
template <typename T, typename ReadFn>
void CheckValueRead(StreamModel& model, size_t width, ReadFn read) {
  auto out = std::make_unique<T>();
  const T before = static_cast<T>(0x5A5A5A5A);
  *out = before;
  uint32_t expected = 0;
  const long modelResult = model.TakeValue(width, expected);
  const long result = read(out.get());
  FUZZ_CHECK(result == modelResult);
  if (result != 0) {
    FUZZ_CHECK(*out == before);
  } else if (width == 2) {
    FUZZ_CHECK(*out == static_cast<T>(static_cast<uint16_t>(expected)));
  } else {
    FUZZ_CHECK(*out == static_cast<T>(expected));
  }
}

template <typename ReadFn>
void CheckBytesRead(StreamModel& model, size_t n, ReadFn read) {
  ExactBuffer out(n);
  std::vector<uint8_t> expected;
  const long modelResult = model.Take(n, expected);
  const long result = read(out.data(), n);
  FUZZ_CHECK(result == modelResult);
  if (result != 0) {
    FUZZ_CHECK(out.Untouched());
  } else {
    FUZZ_CHECK(n == 0 || std::memcmp(out.data(), expected.data(), n) == 0);
  }
}

void ContainerStep(FuzzInput& input, uint8_t op, StrBufferContainer& container,
                   StreamModel& model) {
  long result = 0;
  switch (op % 16) {
    case 0: {
      const uint8_t v = input.Byte();
      result = container.Write(v);
      model.Append({&v, 1});
      break;
    }
    case 1:
    case 2: {
      const uint16_t v = input.Word();
      result = op % 16 == 1 ? container.Write(v) : container.Write(static_cast<short>(v));
      const uint8_t bytes[] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
      model.Append(bytes);
      break;
    }
    case 3:
    case 4: {
      // The unsigned long form keeps only the low 32 bits of its 64-bit argument.
      const uint32_t low = input.Long();
      const uint64_t high = input.Long();
      result = op % 16 == 3 ? container.Write(static_cast<unsigned int>(low))
                            : container.Write(static_cast<unsigned long>(low | (high << 32)));
      const uint8_t bytes[] = {static_cast<uint8_t>(low), static_cast<uint8_t>(low >> 8),
                               static_cast<uint8_t>(low >> 16), static_cast<uint8_t>(low >> 24)};
      model.Append(bytes);
      break;
    }
    case 5:
    case 6: {
      const size_t n = op % 16 == 5 ? input.Byte() : (input.Word() & kLargeWriteMask);
      const auto bytes = input.Bytes(n);
      std::vector<uint8_t> copy(bytes.begin(), bytes.end());
      result = container.Write(copy.data(), copy.size());
      model.Append(copy);
      break;
    }
    case 7:
      CheckValueRead<unsigned char>(model, 1, [&](unsigned char* v) { return container.Read(v); });
      break;
    case 8:
      CheckValueRead<unsigned short>(model, 2,
                                     [&](unsigned short* v) { return container.Read(v); });
      break;
    case 9:
      CheckValueRead<short>(model, 2, [&](short* v) { return container.Read(v); });
      break;
    case 10:
      CheckValueRead<unsigned int>(model, 4, [&](unsigned int* v) { return container.Read(v); });
      break;
    case 11:
      CheckValueRead<unsigned long>(model, 4, [&](unsigned long* v) { return container.Read(v); });
      break;
    case 12:
    case 13: {
      const size_t n = op % 16 == 12 ? input.Byte() : (input.Word() & kLargeWriteMask);
      CheckBytesRead(model, n, [&](unsigned char* out, size_t count) {
        return container.Read(out, static_cast<unsigned long>(count));
      });
      break;
    }
    case 14:
      result = container.Reset();
      model.Reset();
      break;
    default:
      // Bounded, so that a run of growth steps cannot make one input slow.
      if (model.capacity < kGrowthLimit) {
        result = container.IncBufferSize();
        model.Grow();
      }
      break;
  }
  FUZZ_CHECK(result == 0);
  FUZZ_CHECK(container.GetReadPosition() == model.read);
  FUZZ_CHECK(static_cast<size_t>(container.GetBufferSize()) == model.capacity);
  FUZZ_CHECK(SameContents(container.GetBuffer(), container.GetWritePosition(), model));
}

void CommandStep(FuzzInput& input, uint8_t op, CommandObject& cmd, StreamModel& params,
                 StreamModel& reply) {
  long result = 0;
  switch (op % 16) {
    case 0: {
      const uint8_t v = input.Byte();
      result = cmd.AddParam(v);
      params.Append({&v, 1});
      break;
    }
    case 1: {
      const uint16_t v = input.Word();
      result = cmd.AddParam(v);
      const uint8_t bytes[] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
      params.Append(bytes);
      break;
    }
    case 2:
    case 3: {
      const uint32_t v = input.Long();
      result = op % 16 == 2 ? cmd.AddParam(static_cast<unsigned int>(v))
                            : cmd.AddParam(static_cast<unsigned long>(v));
      const uint8_t bytes[] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                               static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
      params.Append(bytes);
      break;
    }
    case 4:
    case 5: {
      const auto bytes = input.Bytes(input.Word() & kLargeWriteMask);
      std::vector<uint8_t> copy(bytes.begin(), bytes.end());
      const unsigned long n = copy.size();
      result = op % 16 == 4 ? cmd.AddParam(copy.data(), n) : cmd.SetDataBuffer(copy.data(), n);
      (op % 16 == 4 ? params : reply).Append(copy);
      break;
    }
    case 6: {
      unsigned char v = input.Byte();
      result = cmd.SetDataByte(v);
      reply.Append({&v, 1});
      break;
    }
    case 7:
      CheckValueRead<unsigned char>(reply, 1, [&](unsigned char* v) { return cmd.GetParam(*v); });
      break;
    case 8:
      CheckValueRead<unsigned short>(reply, 2, [&](unsigned short* v) { return cmd.GetParam(*v); });
      break;
    case 9:
      CheckValueRead<short>(reply, 2, [&](short* v) { return cmd.GetParam(*v); });
      break;
    case 10:
      CheckValueRead<unsigned int>(reply, 4, [&](unsigned int* v) { return cmd.GetParam(*v); });
      break;
    case 11:
      CheckValueRead<unsigned long>(reply, 4, [&](unsigned long* v) { return cmd.GetParam(*v); });
      break;
    case 12:
      CheckBytesRead(reply, input.Byte(), [&](unsigned char* out, size_t count) {
        const unsigned long n = count;
        return cmd.GetParam(out, n);
      });
      break;
    case 13:
      cmd.ResetBuffers();
      params.Reset();
      reply.Reset();
      break;
    case 14: {
      // Every width of status is stored sign-extended.
      const uint8_t narrow = input.Byte();
      cmd.SetStatus(static_cast<char>(narrow));
      FUZZ_CHECK(cmd.GetStatus() == static_cast<signed char>(narrow));
      const uint16_t middle = input.Word();
      cmd.SetStatus(static_cast<short>(middle));
      FUZZ_CHECK(cmd.GetStatus() == static_cast<short>(middle));
      break;
    }
    default:
      cmd.SetCommand(input.Byte());
      break;
  }
  FUZZ_CHECK(result == 0);
  FUZZ_CHECK(SameContents(cmd.GetCommandBuffer(), cmd.GetCommandBufferLength(), params));
  FUZZ_CHECK(SameContents(cmd.GetDataBuffer(), cmd.GetDataBufferLength(), reply));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  StrBufferContainer container;
  StreamModel containerModel;
  auto cmd = std::make_unique<CommandObject>();
  StreamModel params;
  StreamModel reply;
  while (!input.Empty()) {
    const uint8_t op = input.Byte();
    if (op < 0x80) {
      ContainerStep(input, op, container, containerModel);
    } else {
      CommandStep(input, op, *cmd, params, reply);
    }
  }
  return 0;
}
