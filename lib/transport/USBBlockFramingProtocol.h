// SPDX-License-Identifier: MIT
#pragma once

#include "transport/BlockFramingProtocol.h"

// The block framing over the USB transport, which delivers whole reply frames (reassembled from
// 32-byte packets by the frame's own length field) into one receive buffer kept inside the object.
// The buffer is not cleared: only the bytes a read delivered are ever looked at, and clearing its
// 64 KiB cost more than everything else a connection does.
class USBBlockFramingProtocol : public BlockFramingProtocol {
 public:
  static constexpr unsigned long kReceiveBufferSize = 65535;

  explicit USBBlockFramingProtocol(ReaderInterface& transport);
  ~USBBlockFramingProtocol() override = default;

  long DoCommunicationWork(CommandObject& cmd, unsigned long rxTimeout,
                           unsigned long txTimeout) override;

 private:
  unsigned char receiveBuffer[kReceiveBufferSize];
};
