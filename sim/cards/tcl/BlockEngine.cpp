// SPDX-License-Identifier: MIT
#include "sim/cards/tcl/BlockEngine.h"

#include <algorithm>
#include <utility>

namespace norvexsim::tcl {
namespace {

using std::chrono::microseconds;

constexpr size_t kCrcSize = 2;
constexpr long kMaxWtxm = 59;

// The answer's NAD addresses back: destination and source swapped.
uint8_t swappedNad(uint8_t nad) {
  return static_cast<uint8_t>(((nad & 0x07) << 4) | ((nad >> 4) & 0x07));
}

}  // namespace

void BlockEngine::start(const LinkParameters& link) {
  link_ = link;
  started_ = true;
  blockNumber_ = true;  // rule C
  replyCid_.reset();
  replyNad_.reset();
  command_.clear();
  receivingChain_ = false;
  answer_.clear();
  answerSent_ = 0;
  chainingAnswer_ = false;
  lastFrame_.clear();
  busy_ = microseconds(0);
  forcedWtx_ = 0;
  awaitedWtxm_.reset();
}

EngineOutput BlockEngine::receive(std::span<const uint8_t> frame) {
  if (!started_) return {};
  const Block block = parseBlock(frame);
  // Rule 10: an invalid block, one for another card or one too long for the card's buffer
  // leaves the card in receive mode.
  if (block.type == BlockType::Invalid || !addressed(block)) return {};
  if (frame.size() + kCrcSize > link_.fsc) return {};
  if (block.type == BlockType::I && fire(faults_.loseIBlock)) return {};
  replyCid_ = block.cid;  // answers carry a CID exactly when the block did
  switch (block.type) {
    case BlockType::I:
      return onIBlock(block);
    case BlockType::RAck:
    case BlockType::RNak:
      return onRBlock(block);
    case BlockType::SDeselect: {
      EngineOutput out = send(deselectBlock(replyCid_), kBlockAnswerTime);
      out.deselected = true;
      return out;
    }
    case BlockType::SWtx:
      return onWtxResponse(block);
    case BlockType::Invalid:
      break;
  }
  return {};
}

// A card that supports CID answers blocks with its own CID, and blocks without CID only when
// its CID is 0; a card without CID support ignores every block that carries one.
bool BlockEngine::addressed(const Block& block) const {
  if (block.cid) return link_.cidSupported && *block.cid == link_.cid;
  return !link_.cidSupported || link_.cid == 0;
}

EngineOutput BlockEngine::onIBlock(const Block& block) {
  if (block.nad && !link_.nadSupported) return {};
  if (awaitedWtxm_) return {};  // the reader owes the S(WTX) response
  if (fire(faults_.nakIBlock)) {
    return send(rBlock(false, blockNumber_, replyCid_), kBlockAnswerTime);
  }
  if (fire(faults_.wrongAckNumber)) {
    return send(rBlock(true, !block.blockNumber, replyCid_), kBlockAnswerTime);
  }
  if (receivingChain_ && fire(faults_.leaveMidChain)) return {std::nullopt, false, true};

  blockNumber_ = !blockNumber_;  // rule D
  answer_.clear();               // a new command ends an answer the reader gave up on
  chainingAnswer_ = false;
  if (!receivingChain_) replyNad_ = block.nad ? std::optional(swappedNad(*block.nad)) : std::nullopt;
  command_.insert(command_.end(), block.inf.begin(), block.inf.end());
  receivingChain_ = block.chaining;
  if (block.chaining) return send(rBlock(true, blockNumber_, replyCid_), kBlockAnswerTime);
  return runCommand(std::exchange(command_, {}));
}

EngineOutput BlockEngine::onRBlock(const Block& block) {
  const bool current = block.blockNumber == blockNumber_;
  if (block.type == BlockType::RNak) {
    if (current) return retransmit();                                      // rule 11
    return send(rBlock(true, blockNumber_, replyCid_), kBlockAnswerTime);  // rule 12
  }
  if (current) return retransmit();                    // rule 11
  if (!chainingAnswer_ || awaitedWtxm_) return {};     // nothing to continue
  if (fire(faults_.leaveMidChain)) return {std::nullopt, false, true};
  blockNumber_ = !blockNumber_;  // rule E
  return nextIBlock(kBlockAnswerTime);  // rule 13
}

EngineOutput BlockEngine::onWtxResponse(const Block& block) {
  // The response must grant exactly the extension asked for.
  if (!awaitedWtxm_ || (block.inf[0] & kWtxmMask) != *awaitedWtxm_) return {};
  const uint8_t wtxm = *std::exchange(awaitedWtxm_, std::nullopt);
  return deliver(link_.fwt * wtxm);
}

EngineOutput BlockEngine::runCommand(std::vector<uint8_t> command) {
  AppAnswer answer = application_.process(command);
  answer_ = std::move(answer.data);
  answerSent_ = 0;
  busy_ = answer.time + std::exchange(faults_.extraTime, microseconds(0));
  forcedWtx_ = std::exchange(faults_.wtxRequests, 0u);
  return deliver(link_.fwt);
}

// Rule 9: while the answer is not ready within the waiting time, the card asks for more, half-way
// through that time, for as many FWTs as it still needs (at most 59 at a time).
EngineOutput BlockEngine::deliver(microseconds waitingTime) {
  std::optional<uint8_t> wtxm;
  microseconds at = kBlockAnswerTime;
  if (forcedWtx_ > 0) {
    --forcedWtx_;
    wtxm = 1;
  } else if (busy_ > waitingTime) {
    at = waitingTime / 2;
    busy_ -= at;
    const long needed = static_cast<long>((busy_ + link_.fwt - microseconds(1)) / link_.fwt);
    wtxm = static_cast<uint8_t>(std::clamp(needed, 1L, kMaxWtxm));
  }
  if (!wtxm) return nextIBlock(std::exchange(busy_, microseconds(0)));
  awaitedWtxm_ = wtxm;
  return send(wtxBlock(*wtxm, replyCid_), at);
}

// PICC chaining: as much of the answer as fits a frame of FSD bytes, the chaining bit while
// more follows.
EngineOutput BlockEngine::nextIBlock(microseconds delay) {
  const bool first = answerSent_ == 0;
  const size_t overhead = 1 + kCrcSize + (replyCid_ ? 1 : 0) + (first && replyNad_ ? 1 : 0);
  const size_t rest = answer_.size() - answerSent_;
  size_t room = link_.fsd - overhead;
  if (rest > room && fire(faults_.oversizeFrame)) room = rest;
  const size_t chunk = std::min(rest, room);
  const bool more = chunk < rest;
  auto frame = iBlock(blockNumber_, more, replyCid_, first ? replyNad_ : std::nullopt,
                      std::span(answer_).subspan(answerSent_, chunk));
  answerSent_ += chunk;
  chainingAnswer_ = more;
  if (!more) {
    answer_.clear();
    answerSent_ = 0;
  }
  return send(std::move(frame), delay);
}

// Rule 11. Before its first block the card has nothing to repeat and acknowledges instead.
EngineOutput BlockEngine::retransmit() {
  if (lastFrame_.empty()) return send(rBlock(true, blockNumber_, replyCid_), kBlockAnswerTime);
  return send(lastFrame_, kBlockAnswerTime);
}

EngineOutput BlockEngine::send(std::vector<uint8_t> frame, microseconds delay) {
  lastFrame_ = frame;
  if (faults_.truncateTo) {
    frame.resize(std::min(frame.size(), *faults_.truncateTo));
    faults_.truncateTo.reset();
  }
  return {CardFrame{std::move(frame), delay}, false, false};
}

}  // namespace norvexsim::tcl
