// SPDX-License-Identifier: MIT
#pragma once
// A reader whose every answer comes from the fuzzer's input, for targets that drive the command set
// (or a whole session) above the framing: each exchange takes a kind byte (transport failure,
// reader time-out, or a reply) and a length-prefixed reply. Set-response-timeout instructions are
// answered without input so that the script stays in step with the commands that reach the card.

#include <cstdint>

#include "reader/Host2NorvexBase.h"
#include "status/StatusCodes.h"
#include "support/Fuzz.h"
#include "transport/CommandObject.h"
#include "transport/ProtocolBase.h"

class CardScript : public ProtocolBase {
 public:
  static constexpr uint8_t kSetResponseTimeout = 0x27;

  explicit CardScript(FuzzInput& input) : input(input) {}
  long SendCommand(CommandObject& cmd, unsigned long rx, unsigned long tx) override {
    return DoCommunicationWork(cmd, rx, tx);
  }
  long ResetProtocol() override { return 0; }
  long DoCommunicationWork(CommandObject& cmd, unsigned long, unsigned long) override {
    ++instructions;
    const bool timeoutInstruction = cmd.GetCommand() == kSetResponseTimeout;
    cmd.ResetBuffers();
    if (timeoutInstruction) return 0;
    if (input.Empty()) return no_reader_resp;
    const uint8_t kind = input.Byte();
    const auto data = input.Bytes(input.Word());
    if (kind % 4 == 3) return com_read_error;
    if (kind % 4 == 2) {
      cmd.SetStatus(access_timeout);
      return 0;
    }
    const unsigned long n = data.size();
    return cmd.SetDataBuffer(data.data(), n);
  }
  long instructions = 0;

 private:
  FuzzInput& input;
};

// No pause before the R(NAK) that follows a failed I-block: the fuzzer must not sleep.
class FuzzedReader : public Host2NorvexBase {
 public:
  using Host2NorvexBase::Host2NorvexBase;

 protected:
  void PauseBeforeRetry() override {}
};
