// SPDX-License-Identifier: MIT
#include "transport/USBBlockFramingProtocol.h"

#include <chrono>

#include "status/StatusCodes.h"
#include "transport/ReaderInterface.h"

USBBlockFramingProtocol::USBBlockFramingProtocol(ReaderInterface& transport)
    : BlockFramingProtocol(transport) {}

long USBBlockFramingProtocol::DoCommunicationWork(CommandObject& cmd, unsigned long rxTimeoutMs,
                                                  unsigned long txTimeoutMs) {
  rxTimeout = static_cast<uint32_t>(rxTimeoutMs);
  txTimeout = static_cast<uint32_t>(txTimeoutMs);
  const long sent = SendFrame(cmd);
  if (sent != 0) return sent;

  // The transport returns once it holds the whole frame, rounded up to whole packets.
  const auto start = std::chrono::steady_clock::now();
  // The first read waits the whole rx timeout; after a reply passed over, what is left of it.
  unsigned long timeout = this->rxTimeout;
  for (;;) {
    unsigned long got = 0;
    const long read =
        readerInterface.ReadBytesUnblocked(receiveBuffer, kReceiveBufferSize, got, timeout);
    if (read != 0 || got < kHeaderSize) return Failed(com_read_error);
    const unsigned long m = LengthField(receiveBuffer);
    if (m > kMaxFrameSize - kOverhead) return Failed(resp_too_long);
    if (got < m + kOverhead) return Failed(com_read_error);
    TraceReceived(receiveBuffer, m);
    if (!PassOver(receiveBuffer, m)) return AcceptReply(cmd, receiveBuffer, m);
    timeout = RemainingRxTimeout(start);
    if (timeout == 0) return Failed(com_read_error);
  }
}
