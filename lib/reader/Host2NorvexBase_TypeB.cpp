// SPDX-License-Identifier: MIT
// ISO 14443-3 type B: REQB/WUPB with slot numbers, slot markers, ATTRIB and HLTB.
#include <algorithm>

#include "reader/CountedReply.h"
#include "reader/Host2NorvexBase.h"
#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"

namespace {

constexpr unsigned long kPupiLength = 4;
constexpr size_t kAttribHeader = 3;  // [p5][p6][higher-layer length]

bool CountedBufferInvalid(const uint8_t* resp, const uint16_t* respLen) {
  return respLen == nullptr || (resp == nullptr && *respLen != 0);
}

}  // namespace

long Host2NorvexBase::TypeBCountedReply(uint8_t* resp, uint16_t* respLen) {
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyCountedReply(Reply(), resp, respLen, ReplyStatus(), read_too_long);
}

long Host2NorvexBase::PcdISO14443TypeBCommonRequest(uint8_t p1, uint8_t p2, uint8_t p3,
                                                    uint8_t* resp, uint16_t* respLen) {
  if (CountedBufferInvalid(resp, respLen)) return wrong_parameter_value;
  BeginInstruction(instruction::kTypeBCommonRequest);
  command->AddParam(p1);
  command->AddParam(p2);
  command->AddParam(p3);
  return TypeBCountedReply(resp, respLen);
}

long Host2NorvexBase::PcdISO14443TypeBRequestIdle(uint8_t p1, uint8_t p2, uint8_t* resp,
                                                  uint16_t* respLen) {
  if (CountedBufferInvalid(resp, respLen)) return wrong_parameter_value;
  BeginInstruction(instruction::kTypeBRequestIdle);
  command->AddParam(p1);
  command->AddParam(p2);
  return TypeBCountedReply(resp, respLen);
}

long Host2NorvexBase::PcdISO14443TypeBRequestWakeUp(uint8_t p1, uint8_t p2, uint8_t* resp,
                                                    uint16_t* respLen) {
  if (CountedBufferInvalid(resp, respLen)) return wrong_parameter_value;
  BeginInstruction(instruction::kTypeBRequestWakeup);
  command->AddParam(p1);
  command->AddParam(p2);
  return TypeBCountedReply(resp, respLen);
}

long Host2NorvexBase::PcdISO14443TypeBSlotMarker(uint8_t slot, uint8_t* resp, uint16_t* respLen) {
  if (CountedBufferInvalid(resp, respLen)) return wrong_parameter_value;
  BeginInstruction(instruction::kTypeBSlotMarker);
  command->AddParam(slot);
  return TypeBCountedReply(resp, respLen);
}

long Host2NorvexBase::PcdISO14443TypeBHalt(const uint8_t* pupi) {
  if (pupi == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kTypeBHalt);
  command->AddParam(pupi, kPupiLength);
  return Execute();
}

// The higher-layer answer is taken only from bytes that arrived: the reply must carry exactly the
// number of bytes its length byte announces. A card that accepts ATTRIB is activated: a new
// ISO 14443-4 session starts.
long Host2NorvexBase::PcdISO14443TypeBAttrib(const uint8_t* pupi, uint8_t p2, uint8_t p3,
                                             uint8_t p4, uint8_t* p5, uint8_t* p6, uint8_t* hlLen,
                                             uint8_t* hl) {
  if (pupi == nullptr || p5 == nullptr || p6 == nullptr || hlLen == nullptr ||
      (hl == nullptr && *hlLen != 0)) {
    return wrong_parameter_value;
  }
  BeginInstruction(instruction::kTypeBAttrib);
  command->AddParam(pupi, kPupiLength);
  command->AddParam(p2);
  command->AddParam(p3);
  command->AddParam(p4);
  command->AddParam(*p5);
  command->AddParam(*hlLen);
  if (*hlLen != 0) command->AddParam(hl, *hlLen);
  if (const long result = SendInstruction(); result != 0) return result;
  const auto reply = Reply();
  if (reply.size() < kAttribHeader || reply.size() != kAttribHeader + reply[2]) {
    return MalformedReply(read_too_long);
  }
  const uint8_t answerLength = reply[2];
  if (answerLength > *hlLen) {
    *hlLen = answerLength;
    return read_too_long;
  }
  *hlLen = answerLength;
  std::copy(reply.begin() + kAttribHeader, reply.end(), hl);
  *p5 = reply[0];
  *p6 = reply[1];
  return StartCardSession(ReplyStatus());
}
