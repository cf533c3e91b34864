// SPDX-License-Identifier: MIT
// Raw exchanges: a frame or byte stream handed to the card, and any reader instruction with raw
// parameters.
#include <algorithm>
#include <limits>

#include "reader/CountedReply.h"
#include "reader/Host2NorvexBase.h"
#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"

namespace {

// The reader's time-out for one exchange, raised by a tenth for the reader's own overhead when
// the card is given longer than the command set's time-out.
uint32_t ExchangeTimeout(uint32_t objectTimeout, uint32_t cardTimeout) {
  if (cardTimeout <= objectTimeout) return objectTimeout;
  const uint64_t raised = uint64_t{cardTimeout} + cardTimeout / 10;
  return static_cast<uint32_t>(std::min<uint64_t>(raised, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

// The reply is a 16-bit count followed by the card's answer.
long Host2NorvexBase::RdPiccExchangeBlock(const uint8_t* data, uint16_t len, uint8_t* resp,
                                          uint16_t* respLen, uint8_t mode, uint32_t cardTimeout) {
  if ((data == nullptr && len != 0) || resp == nullptr || respLen == nullptr) {
    return wrong_parameter_value;
  }
  BeginInstruction(instruction::kExchangeBlock);
  command->AddParam(len);
  command->AddParam(mode);
  command->AddParam(cardTimeout);
  if (len != 0) command->AddParam(data, len);
  if (const long result = SendInstruction(ExchangeTimeout(timeout, cardTimeout)); result != 0) {
    return result;
  }
  const auto reply = Reply();
  if (reply.size() < 2) return MalformedReply(resp_too_short);
  const uint16_t count = static_cast<uint16_t>(reply[0] | (reply[1] << 8));
  if (count > *respLen) {
    *respLen = count;
    return wrong_parameter_value;
  }
  if (reply.size() - 2 < count) return MalformedReply(resp_too_short);
  *respLen = count;
  std::copy_n(reply.begin() + 2, count, resp);
  return ReplyStatus();
}

// The reader sends the bytes to the card as one frame (adding the CRC as flags ask) and returns
// the card's frame.
long Host2NorvexBase::RdPiccExchangeByteStream(uint8_t flags, const uint8_t* data, uint16_t len,
                                               uint8_t* resp, uint16_t* respLen) {
  return ExchangeByteStream(flags, data, len, resp, respLen, 0);
}

// The T=CL layer gives the card up to several seconds (waiting time extensions): the reader's
// answer is then awaited that long.
long Host2NorvexBase::ExchangeByteStream(uint8_t flags, const uint8_t* data, uint16_t len,
                                         uint8_t* resp, uint16_t* respLen, uint32_t cardTimeout) {
  if ((data == nullptr && len != 0) || respLen == nullptr || (resp == nullptr && *respLen != 0)) {
    return wrong_parameter_value;
  }
  BeginInstruction(instruction::kExchangeByteStream);
  command->AddParam(flags);
  command->AddParam(len);
  if (len != 0) command->AddParam(data, len);
  if (const long result = SendInstruction(ExchangeTimeout(timeout, cardTimeout)); result != 0) {
    return result;
  }
  return CopyCountedReply(Reply(), resp, respLen, ReplyStatus(), wrong_parameter_value);
}

long Host2NorvexBase::ExecCommand(uint8_t code, const uint8_t* params, uint32_t paramLen,
                                  uint8_t* reply, uint32_t* replyLen) {
  const bool wantsReply = replyLen != nullptr && *replyLen != 0;
  if ((params == nullptr && paramLen != 0) || (wantsReply && reply == nullptr)) {
    return wrong_parameter_value;
  }
  BeginInstruction(code);
  if (paramLen != 0) command->AddParam(params, paramLen);
  if (const long result = SendInstruction(); result != 0) return result;
  if (!wantsReply) return ReplyStatus();
  return CopyCountedReply(Reply(), reply, replyLen, ReplyStatus(), wrong_parameter_value);
}
