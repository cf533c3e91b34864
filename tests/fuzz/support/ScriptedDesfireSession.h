// SPDX-License-Identifier: MIT
#pragma once
// A session whose reader is a script read from the fuzz input: every card frame the reader would
// receive is the next record [kind][u16 L][L bytes] (kind 3 (mod 4) fails the exchange as the
// transport would, kind 2 is a reader time-out, anything else is the card's frame). The session
// has a DESFire record with frame size 16.

#include <memory>

#include "api/Session.h"
#include "norvexapi.h"
#include "reader/Host2NorvexBase.h"
#include "status/StatusCodes.h"
#include "support/Fuzz.h"
#include "transport/CommandObject.h"
#include "transport/ProtocolBase.h"

constexpr uint8_t kSetResponseTimeout = 0x27;

class CardScript : public ProtocolBase {
 public:
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

class FuzzedReader : public Host2NorvexBase {
 public:
  using Host2NorvexBase::Host2NorvexBase;

 protected:
  void PauseBeforeRetry() override {}
};

// A session whose reader is the script.
struct ScriptedSession {
  explicit ScriptedSession(FuzzInput& input) : handle(CreateSession()) {
    auto* session = static_cast<SESSION_DATA*>(handle);
    auto script = std::make_unique<CardScript>(input);
    card = script.get();
    session->protocol = std::move(script);
    session->commandSet = std::make_unique<FuzzedReader>(session->protocol.get());
    DF_InitData(handle);
    DF_SetFrameSize(handle, 16);
  }
  ~ScriptedSession() { ReleaseSession(handle); }
  void* handle;
  CardScript* card;
};
