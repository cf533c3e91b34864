// SPDX-License-Identifier: MIT
#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <vector>

#include "transport/FrameTrace.h"
#include "transport/ProtocolBase.h"

class ReaderInterface;

// The reader's block framing, over a byte-stream transport.
//
// Request frame: A5, sequence, instruction, n (16-bit LE), n parameter bytes, CRC (16-bit LE).
// Reply frame:   start byte, sequence, reader status, m (16-bit LE), m data bytes, CRC (16-bit LE).
// The CRC is CRC-16/MCRF4XX over everything before it. A reply must carry the sequence number of
// its request; anything else (a late reply to an earlier request, a corrupted frame) is rejected.
// Lengths inside a frame are signed 16-bit counts: frames of 32768 bytes or more are refused.
//
// After an exchange that failed, the link is brought back in step before the next request: the
// transport discards what the reader sent and nobody read, and the reply still owed to a request
// whose exchange ended on a rejected frame is recognised by its sequence number and passed over
// when it comes. A reply later than its time-out is still refused (7001) when it arrives, and the
// exchange after that works.
class BlockFramingProtocol : public ProtocolBase {
 public:
  static constexpr unsigned char kStartByte = 0xA5;
  static constexpr unsigned long kHeaderSize = 5;  // start, sequence, code or status, length
  static constexpr unsigned long kOverhead = 7;    // header and CRC
  static constexpr unsigned long kMaxFrameSize = 32767;

  explicit BlockFramingProtocol(ReaderInterface& transport);
  ~BlockFramingProtocol() override = default;

  long SendCommand(CommandObject& cmd, unsigned long rxTimeout, unsigned long txTimeout) override;
  // Timeouts back to 2000 and sequence back to 0, then the transport is closed and reopened; the
  // result is that of the reopening.
  long ResetProtocol() override;
  long DoCommunicationWork(CommandObject& cmd, unsigned long rxTimeout,
                           unsigned long txTimeout) override;

  static unsigned short CalculateCRC(unsigned char* data, short length);
  // 0 when the last two bytes of the frame hold the CRC of the bytes before them (low byte
  // first), else 7001 (crc_err).
  static long VerifyCRC(unsigned char* frame, short length);

  // Frames written and read are reported to trace from now on; the trace belongs to the session
  // and outlives the protocol. Null stops the reports.
  void SetTrace(const FrameTrace* frameTrace) { trace = frameTrace; }

  uint8_t GetSequence() const { return sequence; }
  uint8_t GetLastSequence() const { return lastSequence; }

 protected:
  // Builds the request frame from cmd and writes it; the sequence number advances whether or not
  // the write succeeded.
  long SendFrame(CommandObject& cmd);
  // The 16-bit little-endian byte count at offsets 3 and 4 of a frame.
  static unsigned long LengthField(const unsigned char* frame);
  // Checks a complete reply frame of m + 7 bytes and, if it is valid, stores it into cmd. A
  // rejected frame leaves the request it answered owed a reply, to be passed over.
  long AcceptReply(CommandObject& cmd, unsigned char* frame, unsigned long dataLength);
  // Whether a valid frame answers an earlier request whose exchange was given up; it is then no
  // longer owed. Such a frame is dropped and the wait for the right one goes on.
  bool PassOver(unsigned char* frame, unsigned long dataLength);
  // Ends an exchange that got no usable reply: the link needs bringing back in step.
  long Failed(long status);
  // The rx timeout left for another read of this exchange, which started at start.
  unsigned long RemainingRxTimeout(std::chrono::steady_clock::time_point start) const;

  ReaderInterface& readerInterface;
  uint8_t sequence = 0;
  uint8_t lastSequence = 0;
  std::bitset<256> owedReplies;  // requests given up after a rejected frame, by sequence number
  bool resynchronise = false;    // the last exchange failed
  const FrameTrace* trace = nullptr;
  void TraceReceived(const unsigned char* frame, unsigned long dataLength) const {
    if (trace != nullptr) trace->Record(FrameDirection::FromReader, frame, dataLength + kOverhead);
  }

 private:
  long ReceiveFrame(CommandObject& cmd);

  // Room for the frame being sent or received. It keeps the largest size it has reached, so a
  // steady stream of exchanges allocates nothing.
  std::vector<unsigned char> frameBuffer;
};
