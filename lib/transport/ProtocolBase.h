// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

class CommandObject;

// A framing protocol: carries one CommandObject to the reader and its reply back.
//
// SendCommand returns 0 when a valid reply was stored into the command object (the reader's own
// status is then the object's status), otherwise the status code of the transport or framing
// failure. Timeouts are handed to the transport; the USB transport counts them in milliseconds.
// The order of the virtual operations is part of the interface.
class ProtocolBase {
 public:
  static constexpr uint32_t kDefaultTimeout = 2000;

  virtual ~ProtocolBase() = default;

  virtual long SendCommand(CommandObject& cmd, unsigned long rxTimeout,
                           unsigned long txTimeout) = 0;
  virtual long ResetProtocol() = 0;
  virtual void SetRxTimeout(unsigned long timeout) { rxTimeout = static_cast<uint32_t>(timeout); }
  virtual unsigned long GetRxTimeout() const { return rxTimeout; }
  virtual void SetTxTimeout(unsigned long timeout) { txTimeout = static_cast<uint32_t>(timeout); }
  virtual unsigned long GetTxTimeout() const { return txTimeout; }
  virtual long DoCommunicationWork(CommandObject& cmd, unsigned long rxTimeout,
                                   unsigned long txTimeout) = 0;

 protected:
  ProtocolBase() = default;
  ProtocolBase(const ProtocolBase&) = delete;
  ProtocolBase& operator=(const ProtocolBase&) = delete;

  uint32_t rxTimeout = kDefaultTimeout;
  uint32_t txTimeout = kDefaultTimeout;
};
