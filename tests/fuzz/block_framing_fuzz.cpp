// SPDX-License-Identifier: MIT
// The block framing's reply validation, serial and USB forms, over a reader playing fuzzed replies.
//
// Input: [framing: bit 0 set = serial] then records [flags][instruction][n][n parameters]
// [u16 L][L reply bytes]. Flags bits 0-1 fail the write (1: 3002, 2: EIO), bit 2 fails the reads;
// bit 3 puts the request's sequence number into the reply and bit 4 then the right CRC, so that
// the fuzzer also gets past the checks.
// Checked: only a well-formed reply to this very request (sequence, length below 32768, CRC) is
// accepted, and the command object then holds exactly its data; a failed write is reported as is.

#include <algorithm>
#include <memory>
#include <vector>

#include "status/StatusCodes.h"
#include "support/Fuzz.h"
#include "transport/BlockFramingProtocol.h"
#include "transport/CommandObject.h"
#include "transport/ReaderInterface.h"
#include "transport/USBBlockFramingProtocol.h"

namespace {

constexpr long kEio = 5;

// Hands out the scripted reply in as many reads as the framing makes, then stays silent.
class ScriptedReader : public ReaderInterface {
 public:
  long writeResult = 0, readResult = 0;
  std::vector<uint8_t> reply;
  size_t served = 0;

  long OpenInterface() override { return 0; }
  long CloseInterface() override { return 0; }
  long ResetInterface() override { return 0; }
  long ClearInternalBuffers() override { return 0; }
  long SetBaudRate(long) override { return 0; }
  long SetPort(short) override { return 0; }
  short GetPort() const override { return 0; }

  long WriteBytesUnblocked(unsigned char*, unsigned long length, unsigned long& done,
                           unsigned long) override {
    done = writeResult == 0 ? length : 0;
    return writeResult;
  }
  long ReadBytesUnblocked(unsigned char* data, unsigned long size, unsigned long& done,
                          unsigned long) override {
    if (readResult != 0) return readResult;
    if (served == reply.size()) return no_reader_resp;
    done = std::min<size_t>(size, reply.size() - served);
    std::copy_n(reply.begin() + static_cast<std::ptrdiff_t>(served), done, data);
    served += done;
    return 0;
  }
};

size_t LengthField(const std::vector<uint8_t>& frame) {
  return frame[3] | (frame[4] << 8);
}

void Repair(std::vector<uint8_t>& reply, uint8_t flags, uint8_t sequence) {
  if ((flags & 0x08) == 0 || reply.size() < 5) return;
  reply[1] = sequence;
  const size_t m = LengthField(reply);
  if ((flags & 0x10) == 0 || m + 7 > reply.size() || m + 5 > 32767) return;
  const uint16_t crc = BlockFramingProtocol::CalculateCRC(reply.data(), static_cast<short>(m + 5));
  reply[m + 5] = static_cast<uint8_t>(crc);
  reply[m + 6] = static_cast<uint8_t>(crc >> 8);
}

void RunExchange(FuzzInput& input, BlockFramingProtocol& protocol, ScriptedReader& reader,
                 CommandObject& cmd) {
  const uint8_t flags = input.Byte();
  const uint8_t code = input.Byte();
  const auto params = input.Bytes(input.Byte());
  const auto scripted = input.Bytes(input.Word());
  const uint8_t sequence = protocol.GetSequence();
  reader.reply.assign(scripted.begin(), scripted.end());
  reader.served = 0;
  Repair(reader.reply, flags, sequence);
  reader.writeResult = (flags & 3) == 1 ? device_notfound : (flags & 3) == 2 ? kEio : 0;
  reader.readResult = (flags & 4) != 0 ? kEio : 0;

  cmd.ResetBuffers();
  cmd.SetCommand(code);
  const unsigned long n = params.size();
  cmd.AddParam(params.data(), n);
  const long result = protocol.DoCommunicationWork(cmd, 2000, 2000);

  const auto& reply = reader.reply;
  if (reader.writeResult != 0) FUZZ_CHECK(result == reader.writeResult);
  if (result != 0) return;
  FUZZ_CHECK(reader.writeResult == 0 && reader.readResult == 0 && reply.size() >= 7);
  const size_t m = LengthField(reply);
  FUZZ_CHECK(m + 7 <= 32767 && m + 7 <= reply.size() && reply[1] == sequence);
  std::vector<uint8_t> frame(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(m + 7));
  FUZZ_CHECK(BlockFramingProtocol::VerifyCRC(frame.data(), static_cast<short>(m + 7)) == 0);
  FUZZ_CHECK(cmd.GetDataBufferLength() == m &&
             std::equal(frame.begin() + 5, frame.end() - 2, cmd.GetDataBuffer()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  ScriptedReader reader;
  std::unique_ptr<BlockFramingProtocol> protocol;
  if ((input.Byte() & 1) != 0) {
    protocol = std::make_unique<BlockFramingProtocol>(reader);
  } else {
    protocol = std::make_unique<USBBlockFramingProtocol>(reader);
  }
  auto cmd = std::make_unique<CommandObject>();
  for (int i = 0; i < 1024 && !input.Empty(); ++i) RunExchange(input, *protocol, reader, *cmd);
  return 0;
}
