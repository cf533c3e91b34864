// SPDX-License-Identifier: MIT
#pragma once
// The card (PICC) side of the ISO/IEC 14443-4 half-duplex block protocol, once the card has sent
// its ATS: block numbering (rules C, D, E), the PICC's block handling rules 9 to 13, chaining in
// both directions within FSD and FSC, CID filtering, S(DESELECT), and S(WTX) requests when a
// command takes longer than the frame waiting time.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/cards/CardFrame.h"
#include "sim/cards/tcl/Block.h"
#include "sim/cards/tcl/TclApplication.h"
#include "sim/cards/tcl/TclFault.h"

namespace norvexsim::tcl {

// What the protocol agreed at activation.
struct LinkParameters {
  size_t fsc = 256;  // largest frame the card receives (PCB to CRC)
  size_t fsd = 256;  // largest frame the reader receives, from RATS
  bool cidSupported = true;
  bool nadSupported = false;
  uint8_t cid = 0;  // assigned by RATS; meaningful when CID is supported
  std::chrono::microseconds fwt{77339};
};

struct EngineOutput {
  std::optional<CardFrame> frame;  // std::nullopt: the card stays in receive mode, silent
  bool deselected = false;         // the card answered S(DESELECT) and goes to HALT
  bool leftField = false;          // the card left the field (fault)
};

class BlockEngine {
 public:
  // Time a card takes to start answering a protocol block (R, S, a retransmission, the next
  // block of a chain): well inside any frame waiting time.
  static constexpr std::chrono::microseconds kBlockAnswerTime{500};

  BlockEngine(TclApplication& application, TclFaultPlan& faults)
      : application_(application), faults_(faults) {}

  // After the ATS: block number 1, nothing pending.
  void start(const LinkParameters& link);
  void stop() { started_ = false; }
  bool started() const { return started_; }
  bool blockNumber() const { return blockNumber_; }
  uint8_t cid() const { return link_.cid; }

  EngineOutput receive(std::span<const uint8_t> frame);

 private:
  bool addressed(const Block& block) const;
  EngineOutput onIBlock(const Block& block);
  EngineOutput onRBlock(const Block& block);
  EngineOutput onWtxResponse(const Block& block);
  EngineOutput runCommand(std::vector<uint8_t> command);
  // Next frame of a pending answer: S(WTX) while the card is still busy, else the next I-block.
  EngineOutput deliver(std::chrono::microseconds waitingTime);
  EngineOutput nextIBlock(std::chrono::microseconds delay);
  EngineOutput retransmit();
  EngineOutput send(std::vector<uint8_t> frame, std::chrono::microseconds delay);

  TclApplication& application_;
  TclFaultPlan& faults_;
  LinkParameters link_;
  bool started_ = false;
  bool blockNumber_ = true;           // the PICC's current block number
  std::optional<uint8_t> replyCid_;   // CID of the block being answered (none: no CID byte)
  std::optional<uint8_t> replyNad_;   // NAD for the first block of the answer
  std::vector<uint8_t> command_;      // INF of a reader's chain received so far
  bool receivingChain_ = false;       // the reader's last I-block announced more
  std::vector<uint8_t> answer_;       // answer being sent
  size_t answerSent_ = 0;
  bool chainingAnswer_ = false;       // the card waits for R(ACK) to send the next block
  std::vector<uint8_t> lastFrame_;    // last frame sent, for retransmission
  std::chrono::microseconds busy_{0};  // processing time still ahead before the answer
  unsigned forcedWtx_ = 0;
  std::optional<uint8_t> awaitedWtxm_;  // an S(WTX) request waits for its response
};

}  // namespace norvexsim::tcl
