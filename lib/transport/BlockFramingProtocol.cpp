// SPDX-License-Identifier: MIT
#include "transport/BlockFramingProtocol.h"

#include <cstring>

#include "status/StatusCodes.h"
#include "transport/CommandObject.h"
#include "transport/Crc16.h"
#include "transport/ReaderInterface.h"
#include "transport/StatusNarrowing.h"

BlockFramingProtocol::BlockFramingProtocol(ReaderInterface& transport)
    : readerInterface(transport) {}

long BlockFramingProtocol::SendCommand(CommandObject& cmd, unsigned long rxTimeoutMs,
                                       unsigned long txTimeoutMs) {
  return DoCommunicationWork(cmd, rxTimeoutMs, txTimeoutMs);
}

long BlockFramingProtocol::ResetProtocol() {
  rxTimeout = kDefaultTimeout;
  txTimeout = kDefaultTimeout;
  sequence = 0;
  owedReplies.reset();
  resynchronise = false;  // reopening drains the reader's pipe
  return readerInterface.ResetInterface();
}

long BlockFramingProtocol::DoCommunicationWork(CommandObject& cmd, unsigned long rxTimeoutMs,
                                               unsigned long txTimeoutMs) {
  rxTimeout = static_cast<uint32_t>(rxTimeoutMs);
  txTimeout = static_cast<uint32_t>(txTimeoutMs);
  const long sent = SendFrame(cmd);
  if (sent != 0) return sent;
  return ReceiveFrame(cmd);
}

unsigned short BlockFramingProtocol::CalculateCRC(unsigned char* data, short length) {
  return crc16Mcrf4xx(data, length > 0 ? static_cast<size_t>(length) : 0);
}

long BlockFramingProtocol::VerifyCRC(unsigned char* frame, short length) {
  if (length < 2) return crc_err;
  const unsigned short crc = CalculateCRC(frame, static_cast<short>(length - 2));
  const bool matches = frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
  return matches ? 0 : crc_err;
}

unsigned long BlockFramingProtocol::LengthField(const unsigned char* frame) {
  return static_cast<unsigned long>(frame[3]) | (static_cast<unsigned long>(frame[4]) << 8);
}

long BlockFramingProtocol::SendFrame(CommandObject& cmd) {
  const unsigned long n = cmd.GetCommandBufferLength();
  // The frame's byte counts are signed 16-bit numbers; a longer frame cannot be expressed.
  if (n > kMaxFrameSize - kOverhead) return wrong_parameter_value;
  if (resynchronise) {
    resynchronise = false;
    readerInterface.ClearInternalBuffers();  // a failure shows in the exchange itself
  }
  owedReplies.reset(sequence);  // the number is in use again

  frameBuffer.resize(n + kOverhead);
  frameBuffer[0] = kStartByte;
  frameBuffer[1] = sequence;
  frameBuffer[2] = cmd.GetCommand();
  frameBuffer[3] = static_cast<unsigned char>(n);
  frameBuffer[4] = static_cast<unsigned char>(n >> 8);
  if (n > 0) std::memcpy(frameBuffer.data() + kHeaderSize, cmd.GetCommandBuffer(), n);
  const unsigned short crc = CalculateCRC(frameBuffer.data(), static_cast<short>(kHeaderSize + n));
  frameBuffer[kHeaderSize + n] = static_cast<unsigned char>(crc);
  frameBuffer[kHeaderSize + n + 1] = static_cast<unsigned char>(crc >> 8);

  if (trace != nullptr)
    trace->Record(FrameDirection::ToReader, frameBuffer.data(), frameBuffer.size());
  unsigned long written = 0;
  const long result = readerInterface.WriteBytesUnblocked(frameBuffer.data(), frameBuffer.size(),
                                                          written, txTimeout);
  ++sequence;  // wraps from 255 to 0
  return result != 0 ? Failed(NarrowStatus(result)) : 0;
}

// Reads a reply from a byte stream: the 5-byte header first, then the data and CRC it announces.
long BlockFramingProtocol::ReceiveFrame(CommandObject& cmd) {
  const auto start = std::chrono::steady_clock::now();
  // The first read waits the whole rx timeout; after a reply passed over, what is left of it.
  unsigned long timeout = rxTimeout;
  for (;;) {
    unsigned char header[kHeaderSize] = {};
    unsigned long got = 0;
    if (readerInterface.ReadBytesUnblocked(header, kHeaderSize, got, timeout) != 0 ||
        got != kHeaderSize) {
      return Failed(com_read_error);
    }
    const unsigned long m = LengthField(header);
    if (m > kMaxFrameSize - kOverhead) return Failed(resp_too_long);

    frameBuffer.resize(m + kOverhead);
    std::memcpy(frameBuffer.data(), header, kHeaderSize);
    const unsigned long rest = m + 2;
    if (readerInterface.ReadBytesUnblocked(frameBuffer.data() + kHeaderSize, rest, got, timeout) !=
            0 ||
        got != rest) {
      return Failed(com_read_error);
    }
    TraceReceived(frameBuffer.data(), m);
    if (!PassOver(frameBuffer.data(), m)) return AcceptReply(cmd, frameBuffer.data(), m);
    timeout = RemainingRxTimeout(start);
    if (timeout == 0) return Failed(com_read_error);
  }
}

unsigned long BlockFramingProtocol::RemainingRxTimeout(
    std::chrono::steady_clock::time_point start) const {
  // 0 stands for the transport's default time-out.
  const long long total = rxTimeout != 0 ? rxTimeout : kDefaultTimeout;
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
  return spent < total ? static_cast<unsigned long>(total - spent) : 0;
}

long BlockFramingProtocol::Failed(long status) {
  resynchronise = true;
  return status;
}

bool BlockFramingProtocol::PassOver(unsigned char* frame, unsigned long dataLength) {
  const uint8_t replySequence = frame[1];
  if (!owedReplies.test(replySequence) || static_cast<uint8_t>(replySequence + 1) == sequence) {
    return false;
  }
  if (VerifyCRC(frame, static_cast<short>(dataLength + kOverhead)) != 0) return false;
  owedReplies.reset(replySequence);
  return true;
}

long BlockFramingProtocol::AcceptReply(CommandObject& cmd, unsigned char* frame,
                                       unsigned long dataLength) {
  // The sequence number was advanced after sending: the reply must carry the one before it.
  // A damaged frame was most likely this request's reply; an intact one for another request means
  // this request's own reply may still come, and the next exchange passes over it.
  if (VerifyCRC(frame, static_cast<short>(dataLength + kOverhead)) != 0) return Failed(crc_err);
  const uint8_t requestSequence = static_cast<uint8_t>(sequence - 1);
  if (frame[1] != requestSequence) {
    owedReplies.set(requestSequence);
    return Failed(crc_err);
  }

  lastSequence = frame[1];
  cmd.ResetBuffers();
  cmd.SetStatus(static_cast<short>(GetErr(static_cast<char>(frame[2]))));
  return cmd.SetDataBuffer(frame + kHeaderSize, dataLength);
}
