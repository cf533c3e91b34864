#include "transport/USBBlockFramingProtocol.h"

#include "status/StatusCodes.h"
#include "transport/ReaderInterface.h"

USBBlockFramingProtocol::USBBlockFramingProtocol(ReaderInterface& transport)
    : BlockFramingProtocol(transport) {}

long USBBlockFramingProtocol::DoCommunicationWork(CommandObject& cmd, unsigned long rxTimeout,
                                                  unsigned long txTimeout) {
  this->rxTimeout = static_cast<uint32_t>(rxTimeout);
  this->txTimeout = static_cast<uint32_t>(txTimeout);
  const long sent = SendFrame(cmd);
  if (sent != 0) return sent;

  // The transport returns once it holds the whole frame, rounded up to whole packets.
  unsigned long got = 0;
  const long read =
      readerInterface.ReadBytesUnblocked(receiveBuffer, kReceiveBufferSize, got, this->rxTimeout);
  if (read != 0 || got < kHeaderSize) return com_read_error;
  const unsigned long m = LengthField(receiveBuffer);
  if (m > kMaxFrameSize - kOverhead) return resp_too_long;
  if (got < m + kOverhead) return com_read_error;
  return AcceptReply(cmd, receiveBuffer, m);
}
