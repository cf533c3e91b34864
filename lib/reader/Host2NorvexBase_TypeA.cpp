// SPDX-License-Identifier: MIT
// ISO 14443-3 type A card selection: request, anticollision, select and the reader's one-step
// activation of an idle or halted card.
#include <algorithm>

#include "reader/Host2NorvexBase.h"
#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"

namespace {

constexpr size_t kAtqLength = 2;
constexpr size_t kSerialLength = 4;      // one cascade level of a UID
constexpr size_t kActivationHeader = 4;  // ATQ, SAK, UID length
// A bound the activation loop imposes so that a caller cannot keep the reader busy for long.
constexpr uint8_t kMaxActivationRounds = 60;
constexpr int kAttemptsPerRound = 5;

}  // namespace

long Host2NorvexBase::RdMfPiccRequest(uint8_t reqCode, uint8_t* atq) {
  if (atq == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kRequest);
  command->AddParam(reqCode);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyExactReply({atq, kAtqLength}, wrong_parameter_value);
}

// snr carries the known part of the serial number out and the whole serial number back.
long Host2NorvexBase::RdMfPiccAnticoll(uint8_t bitCount, uint8_t* snr) {
  if (snr == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kAnticollision);
  command->AddParam(bitCount);
  command->AddParam(snr, kSerialLength);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyLeadingReply({snr, kSerialLength});
}

long Host2NorvexBase::RdMfPiccSelect(const uint8_t* snr, uint8_t* sak) {
  if (snr == nullptr || sak == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kSelect);
  command->AddParam(snr, kSerialLength);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyLeadingReply({sak, 1});
}

long Host2NorvexBase::RdMfPiccHalt() {
  BeginInstruction(instruction::kHalt);
  return Execute();
}

long Host2NorvexBase::RdPiccCommonRequest(uint8_t reqCode, uint8_t* atq) {
  if (atq == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kCommonRequest);
  command->AddParam(reqCode);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyExactReply({atq, kAtqLength}, wrong_parameter_value);
}

// selCode names the cascade level (0x93, 0x95, 0x97) of a UID longer than 4 bytes.
long Host2NorvexBase::RdPiccCascAnticoll(uint8_t selCode, uint8_t bitCount, uint8_t* snr) {
  if (snr == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kCascadedAnticollision);
  command->AddParam(selCode);
  command->AddParam(bitCount);
  command->AddParam(snr, kSerialLength);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyLeadingReply({snr, kSerialLength});
}

long Host2NorvexBase::RdPiccCascSelect(uint8_t selCode, const uint8_t* snr, uint8_t* sak) {
  if (snr == nullptr || sak == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kCascadedSelect);
  command->AddParam(selCode);
  command->AddParam(snr, kSerialLength);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyLeadingReply({sak, 1});
}

// The activation reply is [ATQ 2][SAK 1][UID length 1][UID]; *uidLen is the capacity of uid on
// entry. A reply that does not fit the buffer, or whose UID length byte announces more bytes than
// it carries, gives resp_too_short and leaves every out-argument alone.
long Host2NorvexBase::CopyActivationReply(uint8_t* atq, uint8_t* sak, uint8_t* uid,
                                          uint8_t* uidLen) {
  const auto reply = Reply();
  if (reply.size() < kActivationHeader || reply.size() > *uidLen + kActivationHeader) {
    return MalformedReply(resp_too_short);
  }
  const uint8_t length = reply[3];
  if (kActivationHeader + length > reply.size()) return MalformedReply(resp_too_short);
  std::copy_n(reply.begin(), kAtqLength, atq);
  *sak = reply[2];
  *uidLen = length;
  std::copy_n(reply.begin() + kActivationHeader, length, uid);
  return ReplyStatus();
}

long Host2NorvexBase::RdPiccActivateIdle(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                                         uint8_t* uidLen) {
  if (atq == nullptr || sak == nullptr || uid == nullptr || uidLen == nullptr) {
    return wrong_parameter_value;
  }
  BeginInstruction(instruction::kActivateIdle);
  command->AddParam(mode);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyActivationReply(atq, sak, uid, uidLen);
}

// Wakes the halted card whose UID the caller gives (the first *uidLen bytes of uid).
long Host2NorvexBase::RdPiccActivateWakeup(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                                           uint8_t* uidLen) {
  if (atq == nullptr || sak == nullptr || uid == nullptr || uidLen == nullptr) {
    return wrong_parameter_value;
  }
  BeginInstruction(instruction::kActivateWakeup);
  command->AddParam(mode);
  command->AddParam(*uidLen);
  if (*uidLen != 0) command->AddParam(uid, *uidLen);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyActivationReply(atq, sak, uid, uidLen);
}

// Repeats the activation (through the virtual operation, so a derived command set's activation is
// the one repeated) until a card answers: five attempts per round. Every attempt gets the
// caller's full UID capacity again, since a failed attempt may have stored a reply's UID length.
long Host2NorvexBase::RdPiccActivateIdleLoop(uint8_t mode, uint8_t* atq, uint8_t* sak, uint8_t* uid,
                                             uint8_t* uidLen, uint8_t rounds) {
  if (rounds == 0) return RdPiccActivateIdle(mode, atq, sak, uid, uidLen);
  if (rounds > kMaxActivationRounds) return wrong_parameter_value;
  if (uidLen == nullptr) return wrong_parameter_value;
  const uint8_t capacity = *uidLen;
  long result = 0;
  for (int attempt = 0; attempt < rounds * kAttemptsPerRound; ++attempt) {
    *uidLen = capacity;
    result = RdPiccActivateIdle(mode, atq, sak, uid, uidLen);
    if (result == 0) return 0;
  }
  return result;
}
