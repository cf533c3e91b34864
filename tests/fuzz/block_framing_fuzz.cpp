// Reply frame validation of the block framing, over a transport that plays back fuzzed replies.
//
// Input: [control] then one record per exchange until the input ends:
//   [flags][instruction][n][n parameter bytes][u16 L, little-endian][L reply bytes]
// control bit 0 picks the framing: 0 the USB one (whole frames per read), 1 the serial one
// (header, then data and CRC). Record flags: bits 0-1 make the write fail (1: 3002, 2: EIO),
// bit 2 makes the reads fail, bit 3 puts the request's sequence number into the reply, bit 4
// then writes the correct CRC behind the data the length field announces (both so that the
// fuzzer also reaches the paths behind the checks).
//
// Checked for every exchange, against a judgement of the reply made here independently:
// the request frame is well formed; a valid reply is accepted with the mapped status and exactly
// its data; anything else is rejected and leaves the command object and lastSequence as they were;
// the sequence number advances by one per frame sent.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "api/StatusCodes.h"
#include "support/Check.h"
#include "support/FuzzInput.h"
#include "support/ReferenceCrc.h"
#include "support/ScriptedReader.h"
#include "transport/BlockFramingProtocol.h"
#include "transport/CommandObject.h"
#include "transport/USBBlockFramingProtocol.h"

namespace {

constexpr long kEio = 5;
constexpr size_t kLargestData = 32760;  // frames of 32768 bytes and more are refused
constexpr int kMaxExchanges = 1024;

uint16_t LengthField(std::span<const uint8_t> frame) {
  return static_cast<uint16_t>(frame[3] | (frame[4] << 8));
}

// Makes the reply carry the request's sequence number and, if asked, the right CRC.
void Repair(std::vector<uint8_t>& reply, uint8_t flags, uint8_t sequence) {
  if ((flags & 0x08) == 0 || reply.size() < 2) return;
  reply[1] = sequence;
  if ((flags & 0x10) == 0 || reply.size() < 5) return;
  const size_t m = LengthField(reply);
  if (m + 7 > reply.size()) return;
  const uint16_t crc = ReferenceCrc({reply.data(), m + 5});
  reply[m + 5] = static_cast<uint8_t>(crc);
  reply[m + 6] = static_cast<uint8_t>(crc >> 8);
}

// Whether a correct framing accepts this reply to the request with the given sequence number.
bool Acceptable(std::span<const uint8_t> reply, uint8_t sequence) {
  if (reply.size() < 5) return false;
  const size_t m = LengthField(reply);
  if (m > kLargestData || reply.size() < m + 7) return false;
  const uint16_t crc = ReferenceCrc(reply.first(m + 5));
  if (reply[m + 5] != (crc & 0xFF) || reply[m + 6] != (crc >> 8)) return false;
  return reply[1] == sequence;
}

void CheckRequest(const std::vector<uint8_t>& frame, uint8_t sequence, uint8_t code,
                  std::span<const uint8_t> params) {
  FUZZ_CHECK(frame.size() == params.size() + 7);
  FUZZ_CHECK(frame[0] == 0xA5 && frame[1] == sequence && frame[2] == code);
  FUZZ_CHECK(LengthField(frame) == params.size());
  FUZZ_CHECK(std::equal(params.begin(), params.end(), frame.begin() + 5));
  const uint16_t crc = ReferenceCrc({frame.data(), params.size() + 5});
  FUZZ_CHECK(frame[params.size() + 5] == (crc & 0xFF) && frame[params.size() + 6] == (crc >> 8));
}

std::vector<uint8_t> DataOf(CommandObject& cmd) {
  return {cmd.GetDataBuffer(), cmd.GetDataBuffer() + cmd.GetDataBufferLength()};
}

void RunExchange(FuzzInput& input, BlockFramingProtocol& protocol, ScriptedReader& reader,
                 CommandObject& cmd) {
  const uint8_t flags = input.Byte();
  const uint8_t code = input.Byte();
  const auto params = input.Bytes(input.Byte());
  std::vector<uint8_t> reply;
  const auto scripted = input.Bytes(input.Word());
  reply.assign(scripted.begin(), scripted.end());

  const uint8_t sequence = protocol.GetSequence();
  const uint8_t lastSequence = protocol.GetLastSequence();
  Repair(reply, flags, sequence);
  const long writeResult = (flags & 3) == 1 ? device_notfound : (flags & 3) == 2 ? kEio : 0;
  const long readResult = (flags & 4) != 0 ? kEio : 0;
  reader.Script({writeResult, readResult, reply});

  // The command object as the command set leaves it: parameters packed, stale data of an
  // earlier exchange still in the data block.
  cmd.ResetBuffers();
  cmd.SetCommand(code);
  cmd.AddParam(params.data(), params.size());
  const unsigned char stale[] = {0xDE, 0xAD};
  cmd.SetDataBuffer(stale, sizeof stale);
  cmd.SetStatus(static_cast<long>(-12345));

  const long result = protocol.DoCommunicationWork(cmd, 2000, 2000);

  CheckRequest(reader.LastRequest(), sequence, code, params);
  FUZZ_CHECK(protocol.GetSequence() == static_cast<uint8_t>(sequence + 1));
  const bool accept = writeResult == 0 && readResult == 0 && Acceptable(reply, sequence);
  if (accept) {
    const size_t m = LengthField(reply);
    FUZZ_CHECK(result == 0);
    FUZZ_CHECK(cmd.GetStatus() == GetErr(static_cast<char>(reply[2])));
    FUZZ_CHECK(DataOf(cmd) == std::vector<uint8_t>(reply.begin() + 5, reply.begin() + 5 + m));
    FUZZ_CHECK(protocol.GetLastSequence() == sequence);
    return;
  }
  FUZZ_CHECK(result != 0);
  if (writeResult != 0) FUZZ_CHECK(result == writeResult);
  FUZZ_CHECK(protocol.GetLastSequence() == lastSequence);
  FUZZ_CHECK(cmd.GetStatus() == -12345);
  FUZZ_CHECK(DataOf(cmd) == std::vector<uint8_t>(std::begin(stale), std::end(stale)));
  FUZZ_CHECK(cmd.GetCommand() == code && cmd.GetCommandBufferLength() == params.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The CRC helpers agree with the reference over any bytes.
  const short crcLength = static_cast<short>(std::min<size_t>(size, 32767));
  std::vector<uint8_t> copy(data, data + crcLength);
  FUZZ_CHECK(BlockFramingProtocol::CalculateCRC(copy.data(), crcLength) ==
             ReferenceCrc({data, static_cast<size_t>(crcLength)}));

  FuzzInput input(data, size);
  const bool serial = (input.Byte() & 1) != 0;
  ScriptedReader reader;
  std::unique_ptr<BlockFramingProtocol> protocol;
  if (serial) {
    protocol = std::make_unique<BlockFramingProtocol>(reader);
  } else {
    protocol = std::make_unique<USBBlockFramingProtocol>(reader);
  }
  auto cmd = std::make_unique<CommandObject>();
  for (int i = 0; i < kMaxExchanges && !input.Empty(); ++i) {
    RunExchange(input, *protocol, reader, *cmd);
  }
  return 0;
}
