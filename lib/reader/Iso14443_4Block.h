// SPDX-License-Identifier: MIT
#pragma once
// ISO/IEC 14443-4 (T=CL) block prologue: the PCB of every block the reader sends, the
// classification and splitting of every frame the card sends back, and the limits of the block
// buffer. Pure code, no reader traffic; Host2NorvexBase runs the protocol on top of it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tcl {

// Every card frame is received into, and every block built in, a buffer of this size.
inline constexpr size_t kBlockBufferSize = 1024;
// Frame sizes count the PCB and the two CRC bytes the reader adds.
inline constexpr uint16_t kMinFrameSize = 5;
inline constexpr uint16_t kMaxFrameSize = kBlockBufferSize;
inline constexpr size_t kCrcLength = 2;

inline constexpr uint8_t kBlockNumberBit = 0x01;
inline constexpr uint8_t kNadBit = 0x04;
inline constexpr uint8_t kCidBit = 0x08;
inline constexpr uint8_t kChainingBit = 0x10;

// S-block types (PCB bits 5-4).
inline constexpr uint8_t kDeselect = 0x00;
inline constexpr uint8_t kWaitingTimeExtension = 0x30;
// The waiting time extension multiplier is the low 6 bits of the S(WTX) INF byte.
inline constexpr uint8_t kWtxmMask = 0x3F;
// The longest frame waiting time the standard allows (FWI 14: 2^14 * 4096 / fc), in ms, the unit
// of the reader's response time-out.
inline constexpr uint32_t kMaxFrameWaitingTime = 4949;

// I-block: 0x02 | CID bit | block number, plus the chaining bit when more chunks follow.
constexpr uint8_t IBlockPcb(bool cid, uint8_t blockNumber, bool chaining) {
  return static_cast<uint8_t>(0x02 | (cid ? kCidBit : 0) | (blockNumber & kBlockNumberBit) |
                              (chaining ? kChainingBit : 0));
}
// R(ACK) asking for the next block of a chained answer: it carries the block number after the
// one of the card's last I-block.
constexpr uint8_t AckForNextBlock(uint8_t lastCardPcb, bool cid) {
  return static_cast<uint8_t>(((lastCardPcb & kBlockNumberBit) != 0 ? 0xA2 : 0xA3) |
                              (cid ? kCidBit : 0));
}
// The bits an R-block keeps from its caller (0x02, CID bit, block number) under R(ACK)/R(NAK).
constexpr uint8_t RBlockPcb(uint8_t pcbBits, bool nak) {
  return static_cast<uint8_t>(0xA0 | (nak ? 0x10 : 0) | pcbBits);
}
constexpr uint8_t SBlockPcb(bool cid, uint8_t type) {
  return static_cast<uint8_t>(0xC2 | type | (cid ? kCidBit : 0));
}
// PPSS: the PPS start byte names the card by the low nibble of its CID.
constexpr uint8_t PpsStartByte(uint8_t cid) {
  return static_cast<uint8_t>(0xD0 | (cid & 0x0F));
}

enum class Block { Ack, WaitingTimeExtension, Information, Other };

// Classifies a card's PCB. The tests run in this order; R(NAK), S(DESELECT) and I-blocks with the
// NAD bit are Other.
constexpr Block Classify(uint8_t pcb) {
  if ((pcb & 0xF6) == 0xA2) return Block::Ack;
  if ((pcb & 0xF7) == 0xF2) return Block::WaitingTimeExtension;
  if ((pcb & 0xE7) <= 3) return Block::Information;
  return Block::Other;
}
constexpr uint8_t BlockNumber(uint8_t pcb) {
  return pcb & kBlockNumberBit;
}
constexpr bool Chaining(uint8_t pcb) {
  return (pcb & kChainingBit) != 0;
}

// A card frame split into its PCB and its INF field (the bytes after the PCB and, when the PCB
// says so, the CID byte).
struct CardFrame {
  uint8_t pcb = 0;
  std::span<const uint8_t> inf;
};

// Nothing for a frame without its PCB, or with the CID bit set but no CID byte, and for an S(WTX)
// without its WTXM byte: each is a protocol error.
std::optional<CardFrame> ParseCardFrame(std::span<const uint8_t> frame);

// 0 for a frame size the block buffer holds and that leaves room for INF; otherwise
// frame_too_small (below kMinFrameSize) or wrong_parameter_value (above kMaxFrameSize).
long CheckFrameSize(uint32_t frameSize);

// The most APDU bytes one I-block carries at this frame size (checked with CheckFrameSize).
constexpr uint16_t MaxInf(uint16_t frameSize, bool cid) {
  return static_cast<uint16_t>(frameSize - 1 - kCrcLength - (cid ? 1 : 0));
}

// The reader's response time-out for the frame that follows an S(WTX) answer: timeout times the
// multiplier (0 counts as 1), never above the standard's maximum frame waiting time unless the
// caller's own time-out already was.
uint32_t ExtendedWaitingTime(uint32_t timeout, uint8_t wtxm);

}  // namespace tcl
