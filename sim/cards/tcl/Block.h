// SPDX-License-Identifier: MIT
#pragma once
// ISO/IEC 14443-4 blocks: the prologue (PCB, optional CID and NAD) and the INF field of one frame
// (CRC excluded), parsed and built.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace norvexsim::tcl {

enum class BlockType { I, RAck, RNak, SDeselect, SWtx, Invalid };

// PCB bits shared by the block types.
constexpr uint8_t kPcbBlockNumber = 0x01;
constexpr uint8_t kPcbNad = 0x04;  // I-blocks only
constexpr uint8_t kPcbCid = 0x08;
constexpr uint8_t kPcbChaining = 0x10;  // I-blocks
constexpr uint8_t kPcbNak = 0x10;       // R-blocks
constexpr uint8_t kWtxmMask = 0x3F;     // WTXM in the INF byte of S(WTX)
constexpr uint8_t kCidMask = 0x0F;      // CID in the CID byte (b8-b7: power level indication)

struct Block {
  BlockType type = BlockType::Invalid;
  uint8_t pcb = 0;
  bool blockNumber = false;  // I- and R-blocks
  bool chaining = false;     // I-blocks
  std::optional<uint8_t> cid;
  std::optional<uint8_t> nad;
  std::vector<uint8_t> inf;
};

// Invalid when the PCB is not a coding of the standard, when a CID or NAD byte it announces is
// missing, or when an R-block or S(DESELECT) carries an INF field or an S(WTX) not exactly one.
Block parseBlock(std::span<const uint8_t> frame);

std::vector<uint8_t> iBlock(bool blockNumber, bool chaining, std::optional<uint8_t> cid,
                            std::optional<uint8_t> nad, std::span<const uint8_t> inf);
std::vector<uint8_t> rBlock(bool ack, bool blockNumber, std::optional<uint8_t> cid);
std::vector<uint8_t> deselectBlock(std::optional<uint8_t> cid);
std::vector<uint8_t> wtxBlock(uint8_t wtxm, std::optional<uint8_t> cid);

// "I(1) chained CID 0, 12 INF bytes", "R(ACK 0)", "S(WTX 5)", "invalid block".
std::string describeBlock(std::span<const uint8_t> frame);

}  // namespace norvexsim::tcl
