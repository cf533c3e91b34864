// SPDX-License-Identifier: MIT
// Mifare Classic authentication, block and value instructions, and the generic memory read and
// write instructions used for Ultralight pages.
#include <algorithm>

#include "reader/Host2NorvexBase.h"
#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"

namespace {

constexpr unsigned long kSerialLength = 4;
constexpr unsigned long kCodedKeyLength = 12;  // 6 key bytes, each nibble with its complement
constexpr unsigned long kKeyLength = 6;
constexpr size_t kBlockLength = 16;
constexpr unsigned long kValueLength = 4;  // a 32-bit value operand, least significant byte first
constexpr unsigned long kPageLength = 4;

}  // namespace

long Host2NorvexBase::RdMfPiccAuth(uint8_t a, uint8_t b, uint8_t c) {
  BeginInstruction(instruction::kAuthenticate);
  command->AddParam(a);
  command->AddParam(b);
  command->AddParam(c);
  return Execute();
}

long Host2NorvexBase::RdMfPiccAuthE(uint8_t a, const uint8_t* snr, uint8_t c, uint8_t d) {
  if (snr == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kAuthenticateFromEeprom);
  command->AddParam(a);
  command->AddParam(snr, kSerialLength);
  command->AddParam(c);
  command->AddParam(d);
  return Execute();
}

long Host2NorvexBase::RdPcdLoadKeyE2(uint8_t a, uint8_t b, const uint8_t* key) {
  if (key == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kLoadKeyToEeprom);
  command->AddParam(a);
  command->AddParam(b);
  command->AddParam(key, kKeyLength);
  return Execute();
}

// keyType is the Mifare authentication code (0x60 key A, 0x61 key B); codedKey comes from
// RdHostCodeKey.
long Host2NorvexBase::RdMfPiccAuthKey(uint8_t keyType, const uint8_t* snr, const uint8_t* codedKey,
                                      uint8_t block) {
  if (snr == nullptr || codedKey == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kAuthenticateWithKey);
  command->AddParam(keyType);
  command->AddParam(snr, kSerialLength);
  command->AddParam(codedKey, kCodedKeyLength);
  command->AddParam(block);
  return Execute();
}

long Host2NorvexBase::RdMfPiccRead(uint8_t block, uint8_t* data) {
  if (data == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kReadBlock);
  command->AddParam(block);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyLeadingReply({data, kBlockLength});
}

long Host2NorvexBase::RdMfPiccWrite(uint8_t block, const uint8_t* data) {
  if (data == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kWriteBlock);
  command->AddParam(block);
  command->AddParam(data, kBlockLength);
  return Execute();
}

// mode is the Mifare value command (increment, decrement, restore); the result goes to transBlock.
long Host2NorvexBase::RdMfPiccValue(uint8_t mode, uint8_t block, const uint8_t* value,
                                    uint8_t transBlock) {
  if (value == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kValue);
  command->AddParam(mode);
  command->AddParam(block);
  command->AddParam(value, kValueLength);
  command->AddParam(transBlock);
  return Execute();
}

long Host2NorvexBase::RdMfPiccValueDebit(uint8_t mode, uint8_t block, const uint8_t* value) {
  if (value == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kValueDebit);
  command->AddParam(mode);
  command->AddParam(block);
  command->AddParam(value, kValueLength);
  return Execute();
}

// Writes one 4-byte page (Ultralight write).
long Host2NorvexBase::RdPiccWrite4(uint8_t addr, const uint8_t* data) {
  if (data == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kWritePage);
  command->AddParam(addr);
  command->AddParam(data, kPageLength);
  return Execute();
}

long Host2NorvexBase::RdPiccCommonWrite(uint8_t cmd, uint8_t addr, uint8_t len,
                                        const uint8_t* data) {
  if (data == nullptr && len != 0) return wrong_parameter_value;
  BeginInstruction(instruction::kCommonWrite);
  command->AddParam(cmd);
  command->AddParam(addr);
  command->AddParam(len);
  if (len != 0) command->AddParam(data, len);
  return Execute();
}

// len is the capacity of data; the whole reply (at most len bytes) is copied there.
long Host2NorvexBase::RdPiccCommonRead(uint8_t cmd, uint8_t addr, uint8_t len, uint8_t* data) {
  if (data == nullptr && len != 0) return wrong_parameter_value;
  BeginInstruction(instruction::kCommonRead);
  command->AddParam(cmd);
  command->AddParam(addr);
  command->AddParam(len);
  if (const long result = SendInstruction(); result != 0) return result;
  const auto reply = Reply();
  if (reply.size() > len) return MalformedReply(wrong_parameter_value);
  std::copy(reply.begin(), reply.end(), data);
  return ReplyStatus();
}
