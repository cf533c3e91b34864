// SPDX-License-Identifier: MIT
// ISO 14443-4 (T=CL) half-duplex block protocol run by the library over two reader instructions:
// 0x27 sets the reader's response time-out for the card's next frame, 0x03 exchanges a frame
// with the card (the reader adds and checks the CRC). ATS and PPS go through the reader's own
// instructions.
#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "reader/Host2NorvexBase.h"
#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"

using tcl::Block;
using tcl::CardFrame;

namespace {

constexpr uint8_t kByteStreamFlags = 0x1E;  // reader firmware: CRC added and checked
// A card that keeps asking for more time, or keeps missing an I-block, ends the exchange.
constexpr int kMaxWaitingTimeExtensions = 32;
constexpr int kMaxRetransmissions = 2;
// PPS: PPS0 announces PPS1; the exchange uses mode 1 with a 1000 ms card time-out.
constexpr uint8_t kPps0 = 0x11;
constexpr uint8_t kPpsMode = 1;
constexpr uint32_t kPpsTimeout = 1000;

// A card frame that cannot be split (no PCB, a missing CID or WTXM byte) is a protocol error.
long ParseBlockReply(std::span<const uint8_t> reply, CardFrame& frame) {
  const auto parsed = tcl::ParseCardFrame(reply);
  if (!parsed) return mi_comm_abort;
  frame = *parsed;
  return 0;
}

// Inside an APDU every card frame is received with the frame size as capacity. The byte-stream
// exchange reports a longer frame as wrong_parameter_value with the frame's length; here it is
// the card breaking the protocol, not a wrong argument.
long CardFrameStatus(long status, uint16_t received, uint16_t frameSize) {
  return status == wrong_parameter_value && received > frameSize ? mi_comm_abort : status;
}

}  // namespace

// One APDU exchange in progress: the caller's answer buffer and the block-protocol state.
struct Host2NorvexBase::ApduExchange {
  uint8_t* resp;
  uint16_t capacity;
  uint16_t frameSize;
  bool cid;
  uint8_t cidValue;
  uint32_t timeout;
  uint8_t blockNumber;
  uint16_t received = 0;
  uint8_t lastCardPcb = 0;
};

void Host2NorvexBase::PauseBeforeRetry() {
  std::this_thread::sleep_for(std::chrono::seconds(1));
}

long Host2NorvexBase::ExchangeBlock(size_t frameLength, uint8_t* resp, uint16_t* respLen,
                                    uint32_t cardTimeout) {
  const uint8_t time[4] = {
      static_cast<uint8_t>(cardTimeout), static_cast<uint8_t>(cardTimeout >> 8),
      static_cast<uint8_t>(cardTimeout >> 16), static_cast<uint8_t>(cardTimeout >> 24)};
  if (readerResponseTimeout != cardTimeout) {
    uint8_t ignored[4] = {};
    uint32_t ignoredLength = sizeof ignored;
    if (long status = ExecCommand(instruction::kSetResponseTimeout, time, sizeof time, ignored,
                                  &ignoredLength)) {
      return status;
    }
    readerResponseTimeout = cardTimeout;
  }
  const long status =
      ExchangeByteStream(kByteStreamFlags, blockFrame.data(), static_cast<uint16_t>(frameLength),
                         resp, respLen, cardTimeout);
  if (status != 0) readerResponseTimeout.reset();
  return status;
}

long Host2NorvexBase::SendIBlock(uint8_t pcb, uint8_t cid, uint8_t nad, const uint8_t* data,
                                 uint16_t len, uint8_t* resp, uint16_t* respLen,
                                 uint32_t cardTimeout) {
  if (data == nullptr && len != 0) return wrong_parameter_value;
  size_t length = 0;
  blockFrame[length++] = pcb;
  if ((pcb & tcl::kCidBit) != 0) blockFrame[length++] = cid;
  if ((pcb & tcl::kNadBit) != 0) blockFrame[length++] = nad;
  if (len > blockFrame.size() - length) return wrong_parameter_value;
  std::copy_n(data, len, blockFrame.begin() + static_cast<std::ptrdiff_t>(length));
  return ExchangeBlock(length + len, resp, respLen, cardTimeout);
}

long Host2NorvexBase::SendRBlock(uint8_t pcbBits, uint8_t cid, uint8_t nak, uint8_t* resp,
                                 uint16_t* respLen, uint32_t cardTimeout) {
  if (nak > 1) return unknown_command;
  const uint8_t pcb = tcl::RBlockPcb(pcbBits, nak != 0);
  size_t length = 0;
  blockFrame[length++] = pcb;
  if ((pcb & tcl::kCidBit) != 0) blockFrame[length++] = cid;
  return ExchangeBlock(length, resp, respLen, cardTimeout);
}

long Host2NorvexBase::SendSBlock(uint8_t cidFlag, uint8_t cid, uint8_t type, uint8_t wtxm,
                                 uint8_t* resp, uint16_t* respLen, uint32_t cardTimeout) {
  if (type != tcl::kDeselect && type != tcl::kWaitingTimeExtension) return unknown_command;
  size_t length = 0;
  blockFrame[length++] = tcl::SBlockPcb(cidFlag != 0, type);
  if (cidFlag != 0) blockFrame[length++] = cid;
  if (type == tcl::kWaitingTimeExtension) blockFrame[length++] = wtxm;
  return ExchangeBlock(length, resp, respLen, cardTimeout);
}

// Sends one I-block. When the exchange fails, the card may still have received it: after a pause
// an R(NAK) with the same block number asks it to repeat its answer. A frame the card did send but
// too long is a protocol error like any other malformed frame, without the retry.
long Host2NorvexBase::ExchangeChunk(ApduExchange& ex, const uint8_t* chunk, uint16_t length,
                                    bool chaining) {
  uint16_t n = ex.frameSize;
  long status = SendIBlock(tcl::IBlockPcb(ex.cid, ex.blockNumber, chaining), ex.cidValue, 0, chunk,
                           length, blockReply.data(), &n, ex.timeout);
  status = CardFrameStatus(status, n, ex.frameSize);
  if (status != 0 && status != mi_comm_abort) {
    PauseBeforeRetry();
    n = ex.frameSize;
    status = SendRBlock(tcl::IBlockPcb(ex.cid, ex.blockNumber, false), ex.cidValue, 1,
                        blockReply.data(), &n, ex.timeout);
    status = CardFrameStatus(status, n, ex.frameSize);
  }
  blockReplyLength = n;
  return status;
}

// Answers the card's S(WTX) requests with the multiplier they carry, giving the card's next frame
// the longer time asked for. On return frame is the first card frame that is not an S(WTX).
long Host2NorvexBase::AnswerWaitingTimeExtensions(ApduExchange& ex, CardFrame& frame) {
  for (int count = 0; tcl::Classify(frame.pcb) == Block::WaitingTimeExtension; ++count) {
    if (count == kMaxWaitingTimeExtensions) return mi_comm_abort;
    const uint8_t wtxm = frame.inf[0] & tcl::kWtxmMask;
    uint16_t n = ex.frameSize;
    if (long status = CardFrameStatus(
            SendSBlock(ex.cid, ex.cidValue, tcl::kWaitingTimeExtension, wtxm, blockReply.data(), &n,
                       tcl::ExtendedWaitingTime(ex.timeout, wtxm)),
            n, ex.frameSize)) {
      return status;
    }
    if (long status = ParseBlockReply({blockReply.data(), n}, frame)) return status;
  }
  ex.lastCardPcb = frame.pcb;
  return 0;
}

// Sends one chunk of the APDU until the card acknowledges it (answer left empty) or answers it
// with an I-block (answer set). An R(ACK) with another block number than the chunk's says the
// card did not get the I-block: it goes out again, at most kMaxRetransmissions times.
long Host2NorvexBase::SendChunk(ApduExchange& ex, const uint8_t* chunk, uint16_t length,
                                bool chaining, std::optional<CardFrame>& answer) {
  for (int transmission = 0; transmission <= kMaxRetransmissions; ++transmission) {
    if (long status = ExchangeChunk(ex, chunk, length, chaining)) return status;
    CardFrame frame;
    if (long status = ParseBlockReply({blockReply.data(), blockReplyLength}, frame)) return status;
    if (long status = AnswerWaitingTimeExtensions(ex, frame)) return status;
    switch (tcl::Classify(frame.pcb)) {
      case Block::Information:
        answer = frame;
        return 0;
      case Block::Ack:
        if (tcl::BlockNumber(frame.pcb) != ex.blockNumber) continue;
        ex.blockNumber ^= 1;
        return 0;
      default:
        return mi_comm_abort;
    }
  }
  return mi_comm_abort;
}

// R(ACK) asking for the card's next I-block, after the last frame the card sent.
long Host2NorvexBase::RequestNextBlock(ApduExchange& ex, CardFrame& frame) {
  uint16_t n = ex.frameSize;
  if (long status = CardFrameStatus(SendRBlock(tcl::AckForNextBlock(ex.lastCardPcb, ex.cid),
                                               ex.cidValue, 0, blockReply.data(), &n, ex.timeout),
                                    n, ex.frameSize)) {
    return status;
  }
  if (long status = ParseBlockReply({blockReply.data(), n}, frame)) return status;
  if (long status = AnswerWaitingTimeExtensions(ex, frame)) return status;
  return tcl::Classify(frame.pcb) == Block::Information ? 0 : mi_comm_abort;
}

// Joins the card's answer from its first I-block on. Each I-block received toggles the block
// number; a chained one is acknowledged with an R(ACK) asking for the next.
long Host2NorvexBase::ReceiveAnswer(ApduExchange& ex, CardFrame frame) {
  for (;;) {
    if (frame.inf.size() > static_cast<size_t>(ex.capacity - ex.received)) return read_too_long;
    std::copy(frame.inf.begin(), frame.inf.end(), ex.resp + ex.received);
    ex.received = static_cast<uint16_t>(ex.received + frame.inf.size());
    ex.blockNumber ^= 1;
    ex.lastCardPcb = frame.pcb;
    if (!tcl::Chaining(frame.pcb)) return 0;
    // Every chained block must carry data, or a card could chain for ever.
    if (frame.inf.empty()) return mi_comm_abort;
    if (long status = RequestNextBlock(ex, frame)) return status;
  }
}

long Host2NorvexBase::SendAPDU(const uint8_t* apdu, uint16_t apduLen, uint8_t* resp,
                               uint16_t* respLen, uint16_t frameSize, uint8_t cid, uint8_t /*nad*/,
                               uint8_t cidFlag, uint8_t nadFlag, uint8_t* blockNum,
                               uint32_t cardTimeout) {
  if (apdu == nullptr || apduLen == 0 || respLen == nullptr || blockNum == nullptr ||
      (resp == nullptr && *respLen != 0) || nadFlag != 0) {
    return wrong_parameter_value;
  }
  if (long status = tcl::CheckFrameSize(frameSize)) return status;
  if (cardSessionEnded) return rd_chaining_error;
  ApduExchange ex{resp,
                  *respLen,
                  frameSize,
                  cidFlag != 0,
                  cid,
                  cardTimeout,
                  static_cast<uint8_t>(*blockNum & tcl::kBlockNumberBit)};
  if (long status = ExchangeApdu(ex, apdu, apduLen)) {
    EndCardSession(ex);
    return status;
  }
  *respLen = ex.received;
  *blockNum = ex.blockNumber;
  return 0;
}

long Host2NorvexBase::ExchangeApdu(ApduExchange& ex, const uint8_t* apdu, uint16_t apduLen) {
  const uint16_t maxInf = tcl::MaxInf(ex.frameSize, ex.cid);
  std::optional<CardFrame> answer;
  for (uint16_t sent = 0; sent < apduLen && !answer;) {
    const uint16_t remaining = static_cast<uint16_t>(apduLen - sent);
    const uint16_t chunk = std::min(remaining, maxInf);
    if (long status = SendChunk(ex, apdu + sent, chunk, remaining > maxInf, answer)) return status;
    sent = static_cast<uint16_t>(sent + chunk);
  }
  // Every chunk acknowledged, none answered: ask the card for its answer.
  CardFrame first;
  if (answer) {
    first = *answer;
  } else if (long status = RequestNextBlock(ex, first)) {
    return status;
  }
  return ReceiveAnswer(ex, first);
}

// The card's state after a broken exchange is unknown (it may wait for the rest of a chain, or
// be sending one): S(DESELECT) sends it to HALT if it still listens, and whatever it answers,
// nothing more goes to it as part of this session.
void Host2NorvexBase::EndCardSession(const ApduExchange& ex) {
  cardSessionEnded = true;
  uint16_t n = ex.frameSize;
  SendSBlock(ex.cid, ex.cidValue, tcl::kDeselect, 0, blockReply.data(), &n, ex.timeout);
}

long Host2NorvexBase::StartCardSession(long status) {
  if (status == 0) cardSessionEnded = false;
  return status;
}

long Host2NorvexBase::Send_NOP_APDU(uint16_t respCapacity, uint8_t cid, uint8_t cidFlag,
                                    uint8_t* blockNum, uint32_t cardTimeout) {
  if (blockNum == nullptr || respCapacity > blockReply.size()) return wrong_parameter_value;
  uint16_t n = respCapacity;
  return SendRBlock(tcl::IBlockPcb(cidFlag != 0, *blockNum, false), cid, 1, blockReply.data(), &n,
                    cardTimeout);
}

long Host2NorvexBase::Reset14443_4Card(uint8_t cidFlag, uint8_t cid, uint8_t* resp,
                                       uint16_t* respLen) {
  return SendSBlock(cidFlag, cid, tcl::kDeselect, 0, resp, respLen, timeout);
}

long Host2NorvexBase::RequestATS(uint8_t param, uint8_t* ats, uint16_t* atsLen) {
  if (atsLen == nullptr || (ats == nullptr && *atsLen != 0)) return wrong_parameter_value;
  BeginInstruction(instruction::kRequestAts);
  command->AddParam(param);
  if (long status = SendInstruction()) return status;
  const auto reply = Reply();
  if (reply.size() > *atsLen) return wrong_parameter_value;
  std::copy(reply.begin(), reply.end(), ats);
  *atsLen = static_cast<uint16_t>(reply.size());
  return StartCardSession(ReplyStatus());
}

// The card confirms a PPS by sending PPSS back.
long Host2NorvexBase::ISO4PPSRequest(uint8_t cid, uint8_t dsi, uint8_t dri) {
  const uint8_t request[5] = {tcl::PpsStartByte(cid), kPps0, static_cast<uint8_t>((dsi << 2) | dri),
                              0x00, 0x00};
  uint8_t reply[3] = {};
  uint16_t n = sizeof reply;
  if (long status =
          RdPiccExchangeBlock(request, sizeof request, reply, &n, kPpsMode, kPpsTimeout)) {
    return status;
  }
  return n >= 1 && reply[0] == request[0] ? 0 : mi_comm_abort;
}
