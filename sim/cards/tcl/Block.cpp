// SPDX-License-Identifier: MIT
#include "sim/cards/tcl/Block.h"

namespace norvexsim::tcl {
namespace {

// Fixed bits of each PCB coding: (mask, value).
constexpr uint8_t kIMask = 0xE2, kIValue = 0x02;  // 000C CN1b
constexpr uint8_t kRMask = 0xE6, kRValue = 0xA2;  // 101N C01b
constexpr uint8_t kSMask = 0xC7, kSValue = 0xC2;  // 11xx C010
constexpr uint8_t kSKindMask = 0x30, kSDeselect = 0x00, kSWtx = 0x30;

BlockType typeOf(uint8_t pcb) {
  if ((pcb & kIMask) == kIValue) return BlockType::I;
  if ((pcb & kRMask) == kRValue) return (pcb & kPcbNak) ? BlockType::RNak : BlockType::RAck;
  if ((pcb & kSMask) == kSValue) {
    if ((pcb & kSKindMask) == kSDeselect) return BlockType::SDeselect;
    if ((pcb & kSKindMask) == kSWtx) return BlockType::SWtx;
  }
  return BlockType::Invalid;
}

bool infFits(const Block& block) {
  switch (block.type) {
    case BlockType::I:
      return true;
    case BlockType::SWtx:
      return block.inf.size() == 1;
    default:
      return block.inf.empty();
  }
}

std::vector<uint8_t> prologue(uint8_t pcb, std::optional<uint8_t> cid) {
  std::vector<uint8_t> frame{static_cast<uint8_t>(pcb | (cid ? kPcbCid : 0))};
  if (cid) frame.push_back(*cid & kCidMask);
  return frame;
}

}  // namespace

Block parseBlock(std::span<const uint8_t> frame) {
  Block block;
  if (frame.empty()) return block;
  block.pcb = frame[0];
  const BlockType type = typeOf(block.pcb);
  size_t at = 1;
  if (block.pcb & kPcbCid) {
    if (at >= frame.size()) return block;
    block.cid = frame[at++] & kCidMask;
  }
  if (type == BlockType::I && (block.pcb & kPcbNad)) {
    if (at >= frame.size()) return block;
    block.nad = frame[at++];
  }
  block.inf.assign(frame.begin() + static_cast<std::ptrdiff_t>(at), frame.end());
  block.blockNumber = block.pcb & kPcbBlockNumber;
  block.chaining = type == BlockType::I && (block.pcb & kPcbChaining);
  block.type = type;
  if (!infFits(block)) block.type = BlockType::Invalid;
  return block;
}

std::vector<uint8_t> iBlock(bool blockNumber, bool chaining, std::optional<uint8_t> cid,
                            std::optional<uint8_t> nad, std::span<const uint8_t> inf) {
  uint8_t pcb = kIValue | (blockNumber ? kPcbBlockNumber : 0) | (chaining ? kPcbChaining : 0) |
                (nad ? kPcbNad : 0);
  auto frame = prologue(pcb, cid);
  if (nad) frame.push_back(*nad);
  frame.insert(frame.end(), inf.begin(), inf.end());
  return frame;
}

std::vector<uint8_t> rBlock(bool ack, bool blockNumber, std::optional<uint8_t> cid) {
  return prologue(kRValue | (ack ? 0 : kPcbNak) | (blockNumber ? kPcbBlockNumber : 0), cid);
}

std::vector<uint8_t> deselectBlock(std::optional<uint8_t> cid) {
  return prologue(kSValue | kSDeselect, cid);
}

std::vector<uint8_t> wtxBlock(uint8_t wtxm, std::optional<uint8_t> cid) {
  auto frame = prologue(kSValue | kSWtx, cid);
  frame.push_back(wtxm & kWtxmMask);
  return frame;
}

std::string describeBlock(std::span<const uint8_t> frame) {
  const Block block = parseBlock(frame);
  const std::string number = block.blockNumber ? "1" : "0";
  std::string text;
  switch (block.type) {
    case BlockType::I:
      text = "I(" + number + ")" + (block.chaining ? " chained" : "");
      break;
    case BlockType::RAck:
      text = "R(ACK " + number + ")";
      break;
    case BlockType::RNak:
      text = "R(NAK " + number + ")";
      break;
    case BlockType::SDeselect:
      text = "S(DESELECT)";
      break;
    case BlockType::SWtx:
      text = "S(WTX " + std::to_string(block.inf[0] & kWtxmMask) + ")";
      break;
    case BlockType::Invalid:
      return "invalid block";
  }
  if (block.cid) text += " CID " + std::to_string(*block.cid);
  if (block.nad) text += " NAD " + std::to_string(*block.nad);
  if (block.type == BlockType::I) text += ", " + std::to_string(block.inf.size()) + " INF bytes";
  return text;
}

}  // namespace norvexsim::tcl
