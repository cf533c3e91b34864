// SPDX-License-Identifier: MIT
#include "reader/Host2NorvexBase.h"

#include <algorithm>

#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"
#include "transport/ProtocolBase.h"
#include "transport/StatusNarrowing.h"

Host2NorvexBase::Host2NorvexBase(ProtocolBase* sessionProtocol) {
  protocol = sessionProtocol;
  command = std::make_unique<CommandObject>();
  timeout = protocol != nullptr ? static_cast<uint32_t>(protocol->GetRxTimeout())
                                : ProtocolBase::kDefaultTimeout;
}

Host2NorvexBase::~Host2NorvexBase() = default;

void Host2NorvexBase::BeginInstruction(uint8_t code) {
  if (code != instruction::kExchangeByteStream) readerResponseTimeout.reset();
  command->ResetBuffers();
  command->SetCommand(code);
}

long Host2NorvexBase::SendInstruction(uint32_t instructionTimeout) {
  if (protocol == nullptr) return no_reader;
  const long result = protocol->SendCommand(*command, instructionTimeout, instructionTimeout);
  return NarrowStatus(result);
}

long Host2NorvexBase::Execute() {
  if (const long result = SendInstruction(); result != 0) return result;
  return ReplyStatus();
}

long Host2NorvexBase::ReplyStatus() const {
  return NarrowStatus(command->GetStatus());
}

std::span<const uint8_t> Host2NorvexBase::Reply() const {
  return {command->GetDataBuffer(), command->GetDataBufferLength()};
}

long Host2NorvexBase::MalformedReply(long shapeError) const {
  const long status = ReplyStatus();
  return status != 0 ? status : shapeError;
}

long Host2NorvexBase::CopyExactReply(std::span<uint8_t> out, long shapeError) {
  const auto reply = Reply();
  if (reply.size() != out.size()) return MalformedReply(shapeError);
  std::copy(reply.begin(), reply.end(), out.begin());
  return ReplyStatus();
}

long Host2NorvexBase::CopyLeadingReply(std::span<uint8_t> out) {
  const auto reply = Reply();
  if (reply.size() < out.size()) return MalformedReply(resp_too_short);
  std::copy_n(reply.begin(), out.size(), out.begin());
  return ReplyStatus();
}

// Reader-level instructions.

long Host2NorvexBase::RdPcdConfig() {
  BeginInstruction(instruction::kConfigure);
  return Execute();
}

long Host2NorvexBase::RdPcdRfReset(uint16_t duration) {
  BeginInstruction(instruction::kRfReset);
  command->AddParam(duration);
  return Execute();
}

long Host2NorvexBase::RdPcdSetDefaultAttrib() {
  BeginInstruction(instruction::kSetDefaultAttrib);
  return Execute();
}

long Host2NorvexBase::RdPcdSetAttrib(uint8_t a, uint8_t b) {
  BeginInstruction(instruction::kSetAttrib);
  command->AddParam(a);
  command->AddParam(b);
  return Execute();
}

long Host2NorvexBase::RdPcdGetAttrib(uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d, uint8_t* e) {
  uint8_t* const outs[] = {a, b, c, d, e};
  if (std::find(std::begin(outs), std::end(outs), nullptr) != std::end(outs)) {
    return wrong_parameter_value;
  }
  BeginInstruction(instruction::kGetAttrib);
  if (const long result = SendInstruction(); result != 0) return result;
  const auto reply = Reply();
  if (reply.size() != std::size(outs)) return MalformedReply(resp_too_short);
  for (size_t i = 0; i < std::size(outs); ++i) *outs[i] = reply[i];
  return ReplyStatus();
}

// The reply is a signed 16-bit count followed by that many version bytes.
long Host2NorvexBase::PcdGetFwVersion(uint8_t* version, uint8_t* len) {
  if (version == nullptr || len == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kGetFirmwareVersion);
  if (const long result = SendInstruction(); result != 0) return result;
  const auto reply = Reply();
  if (reply.size() < 2) return MalformedReply(resp_too_short);
  const int16_t count = static_cast<int16_t>(reply[0] | (reply[1] << 8));
  if (count < 0 || reply.size() - 2 < static_cast<size_t>(count)) {
    return MalformedReply(resp_too_short);
  }
  if (count > *len) return mem_no_space;
  *len = static_cast<uint8_t>(count);
  std::copy_n(reply.begin() + 2, count, version);
  return ReplyStatus();
}

// The key set length is not sent: the reader knows the size of each set.
long Host2NorvexBase::RdLoadKeySet(uint8_t set, uint8_t len, const uint8_t* keys) {
  if (keys == nullptr && len != 0) return wrong_parameter_value;
  BeginInstruction(instruction::kLoadKeySet);
  command->AddParam(set);
  if (len != 0) command->AddParam(keys, len);
  return Execute();
}

long Host2NorvexBase::PcdLoadConfig(uint16_t config) {
  BeginInstruction(instruction::kLoadConfig);
  command->AddParam(config);
  return Execute();
}

long Host2NorvexBase::RdPcdSetCardType(uint8_t cardType) {
  BeginInstruction(instruction::kSetCardType);
  command->AddParam(cardType);
  return Execute();
}
