#pragma once
// A framing protocol whose replies come from the fuzz input, for the layers above the framing.
//
// Each SendCommand takes one reply record from the input:
//   [kind][reader status][u16 length, little-endian][length data bytes]
// A kind of 7 modulo 8 makes the exchange fail the way the framing does (a transport or framing
// status, picked by the status byte) and leaves the command object alone. Any other kind is a
// valid reply, stored as the real framing stores it: buffers reset, the reader's status byte
// mapped by GetErr, the data appended. When the input is used up the reader is silent (8038).

#include <cstdint>
#include <iterator>
#include <vector>

#include "api/StatusCodes.h"
#include "support/FuzzInput.h"
#include "transport/CommandObject.h"
#include "transport/ProtocolBase.h"

class ScriptedProtocol : public ProtocolBase {
 public:
  explicit ScriptedProtocol(FuzzInput& input) : input(input) {}

  long SendCommand(CommandObject& cmd, unsigned long rxTimeout, unsigned long txTimeout) override {
    return DoCommunicationWork(cmd, rxTimeout, txTimeout);
  }
  long ResetProtocol() override { return 0; }

  long DoCommunicationWork(CommandObject& cmd, unsigned long, unsigned long) override {
    ++exchanges;
    lastCommand = cmd.GetCommand();
    lastParams.assign(cmd.GetCommandBuffer(),
                      cmd.GetCommandBuffer() + cmd.GetCommandBufferLength());
    lastFailure = 0;
    if (input.Empty()) return Fail(no_reader_resp);
    const uint8_t kind = input.Byte();
    const uint8_t status = input.Byte();
    const uint16_t length = input.Word();
    const auto data = input.Bytes(length);
    if (kind % 8 == 7) return Fail(kFailures[status % std::size(kFailures)]);
    cmd.ResetBuffers();
    const long mapped = GetErr(static_cast<char>(status));
    if (mapped != 0) ++unsuccessful;
    cmd.SetStatus(static_cast<short>(mapped));
    lastReply.assign(data.begin(), data.end());
    const unsigned long count = data.size();
    return cmd.SetDataBuffer(data.data(), count);
  }

  int exchanges = 0;
  long lastFailure = 0;  // the failure the last exchange reported, 0 when it delivered a reply
  std::vector<uint8_t> lastReply;  // data of the last reply delivered
  int unsuccessful = 0;            // exchanges that failed or whose reply reported a reader failure
  uint8_t lastCommand = 0;
  std::vector<uint8_t> lastParams;

 private:
  long Fail(long code) {
    ++unsuccessful;
    return lastFailure = code;
  }

  // What the framing and the transports report when no valid reply arrives.
  static constexpr long kFailures[] = {com_read_error, crc_err,         resp_too_long,
                                       no_reader_resp, device_notfound, 5 /* EIO */};
  FuzzInput& input;
};
