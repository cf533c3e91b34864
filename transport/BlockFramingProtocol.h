#pragma once

#include <cstdint>
#include <vector>

#include "transport/ProtocolBase.h"

class ReaderInterface;

// The reader's block framing, over a byte-stream transport.
//
// Request frame: A5, sequence, instruction, n (16-bit LE), n parameter bytes, CRC (16-bit LE).
// Reply frame:   start byte, sequence, reader status, m (16-bit LE), m data bytes, CRC (16-bit LE).
// The CRC is CRC-16/MCRF4XX over everything before it. A reply must carry the sequence number of
// its request; anything else (a late reply to an earlier request, a corrupted frame) is rejected.
// Lengths inside a frame are signed 16-bit counts: frames of 32768 bytes or more are refused.
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

  uint8_t GetSequence() const { return sequence; }
  uint8_t GetLastSequence() const { return lastSequence; }

 protected:
  // Builds the request frame from cmd and writes it; the sequence number advances whether or not
  // the write succeeded.
  long SendFrame(CommandObject& cmd);
  // The 16-bit little-endian byte count at offsets 3 and 4 of a frame.
  static unsigned long LengthField(const unsigned char* frame);
  // Checks a complete reply frame of m + 7 bytes and, if it is valid, stores it into cmd.
  long AcceptReply(CommandObject& cmd, unsigned char* frame, unsigned long dataLength);

  ReaderInterface& readerInterface;
  uint8_t sequence = 0;
  uint8_t lastSequence = 0;

 private:
  long ReceiveFrame(CommandObject& cmd);

  // Room for the frame being sent or received. It keeps the largest size it has reached, so a
  // steady stream of exchanges allocates nothing.
  std::vector<unsigned char> frameBuffer;
};
