// SPDX-License-Identifier: MIT
#pragma once
// A framing protocol that records each instruction of the command set and answers it from a
// script, and a fixture holding both.

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "reader/Host2IPNorvex.h"
#include "status/StatusCodes.h"
#include "transport/CommandObject.h"
#include "transport/ProtocolBase.h"

using Bytes = std::vector<uint8_t>;

// Records each instruction and answers it from a script: a transport failure, or an accepted reply
// with the (already mapped) reader status and data.
struct ScriptedProtocol : ProtocolBase {
  struct Sent {
    uint8_t code;
    Bytes params;
    unsigned long timeout;
  };
  struct Scripted {
    long transport, status;
    Bytes data;
  };
  long SendCommand(CommandObject& cmd, unsigned long rx, unsigned long tx) override {
    return DoCommunicationWork(cmd, rx, tx);
  }
  long ResetProtocol() override { return 0; }
  long DoCommunicationWork(CommandObject& cmd, unsigned long rx, unsigned long) override {
    const uint8_t* params = cmd.GetCommandBuffer();
    sent.push_back({cmd.GetCommand(), Bytes(params, params + cmd.GetCommandBufferLength()), rx});
    Scripted reply = replies.empty() ? Scripted{0, 0, {}} : replies.front();
    if (!replies.empty()) replies.pop_front();
    if (reply.transport != 0) return reply.transport;
    cmd.ResetBuffers();
    cmd.SetStatus(reply.status);
    cmd.SetDataBuffer(reply.data.data(), reply.data.size());
    return 0;
  }
  std::vector<Sent> sent;
  std::deque<Scripted> replies;
};

class CommandSetTest : public ::testing::Test {
 protected:
  void Reply(Bytes data, long status = 0) { protocol.replies.push_back({0, status, data}); }
  void TransportFailure(long code) { protocol.replies.push_back({code, 0, {}}); }
  ScriptedProtocol protocol;
  Host2IPNorvex reader{&protocol};
};
