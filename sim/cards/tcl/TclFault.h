// SPDX-License-Identifier: MIT
#pragma once
// Faults an ISO/IEC 14443-4 card can be told to commit, for testing how a reader's host copes.
// Each is armed once and fires at the next occasion, then disarms itself.

#include <chrono>
#include <cstddef>
#include <optional>

namespace norvexsim::tcl {

enum class TclFaultKind {
  WtxRequests,     // `amount` S(WTX) requests (WTXM 1) before the answer to the next command
  SlowAnswer,      // the next command takes `amount` ms longer (WTX or a reader time-out follow)
  LoseIBlock,      // the next I-block never reaches the card: it stays silent, state unchanged
  NakIBlock,       // the next I-block is answered with R(NAK) and not processed
  WrongAckNumber,  // the next I-block is answered with an R(ACK) of the other block number and
                   // not processed (the reader must send the I-block again)
  EmptyAnswer,     // the next frame the card sends arrives empty
  OneByteAnswer,   // the next frame the card sends arrives cut to its first byte
  OversizeFrame,   // the next I-block of an answer ignores FSD: the whole rest in one frame
  LeaveMidChain,   // the card leaves the field at the next block that continues a chain
};

struct TclFault {
  TclFaultKind kind;
  unsigned amount = 1;  // WtxRequests: number of requests; SlowAnswer: milliseconds
};

// The faults armed on one card.
struct TclFaultPlan {
  unsigned wtxRequests = 0;
  std::chrono::microseconds extraTime{0};
  bool loseIBlock = false;
  bool nakIBlock = false;
  bool wrongAckNumber = false;
  std::optional<size_t> truncateTo;  // bytes left of the next frame
  bool oversizeFrame = false;
  bool leaveMidChain = false;

  void arm(const TclFault& fault) {
    switch (fault.kind) {
      case TclFaultKind::WtxRequests:
        wtxRequests = fault.amount;
        break;
      case TclFaultKind::SlowAnswer:
        extraTime = std::chrono::milliseconds(fault.amount);
        break;
      case TclFaultKind::LoseIBlock:
        loseIBlock = true;
        break;
      case TclFaultKind::NakIBlock:
        nakIBlock = true;
        break;
      case TclFaultKind::WrongAckNumber:
        wrongAckNumber = true;
        break;
      case TclFaultKind::EmptyAnswer:
        truncateTo = 0;
        break;
      case TclFaultKind::OneByteAnswer:
        truncateTo = 1;
        break;
      case TclFaultKind::OversizeFrame:
        oversizeFrame = true;
        break;
      case TclFaultKind::LeaveMidChain:
        leaveMidChain = true;
        break;
    }
  }
};

// Takes a one-shot flag: true when it was armed, which it no longer is.
inline bool fire(bool& armed) {
  const bool was = armed;
  armed = false;
  return was;
}

}  // namespace norvexsim::tcl
