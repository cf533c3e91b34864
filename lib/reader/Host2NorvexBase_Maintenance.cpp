// SPDX-License-Identifier: MIT
// Reader maintenance: front-end registers, EEPROM, serial line speed, watchdog, echo test,
// firmware download and in-system programming, peripherals.
#include <algorithm>
#include <array>
#include <utility>

#include "reader/Host2NorvexBase.h"
#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"

namespace {

// The reader's serial speed codes, indexed by code.
constexpr std::array<unsigned int, 5> kSpeedOfCode = {9600, 19200, 57600, 115200, 38400};
constexpr unsigned int kDefaultSpeed = 115200;

}  // namespace

long Host2NorvexBase::RdWriteRC(uint8_t reg, uint8_t value) {
  BeginInstruction(instruction::kWriteRegister);
  command->AddParam(reg);
  command->AddParam(value);
  return Execute();
}

long Host2NorvexBase::RdReadRC(uint8_t reg, uint8_t* value) {
  if (value == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kReadRegister);
  command->AddParam(reg);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyExactReply({value, 1}, read_too_long);
}

long Host2NorvexBase::RdPcdReadE2(uint16_t addr, uint8_t len, uint8_t* data) {
  if (data == nullptr && len != 0) return wrong_parameter_value;
  BeginInstruction(instruction::kReadEeprom);
  command->AddParam(addr);
  command->AddParam(len);
  if (const long result = SendInstruction(); result != 0) return result;
  const auto reply = Reply();
  if (reply.size() > len) return MalformedReply(wrong_parameter_value);
  return CopyExactReply({data, len}, resp_too_short);
}

long Host2NorvexBase::RdPcdWriteE2(uint16_t addr, uint8_t len, const uint8_t* data) {
  if (data == nullptr && len != 0) return wrong_parameter_value;
  BeginInstruction(instruction::kWriteEeprom);
  command->AddParam(addr);
  command->AddParam(len);
  if (len != 0) command->AddParam(data, len);
  return Execute();
}

long Host2NorvexBase::RdStartDownload() {
  BeginInstruction(instruction::kStartDownload);
  return Execute();
}

// The reader leaves the bus for its boot loader: it can be reached again only after a replug.
long Host2NorvexBase::EnterISPMode() {
  BeginInstruction(instruction::kEnterIsp);
  return Execute();
}

long Host2NorvexBase::SetPeriferialState(uint8_t device, uint8_t state) {
  BeginInstruction(instruction::kSetPeripheralState);
  command->AddParam(device);
  command->AddParam(state);
  return Execute();
}

// A speed the reader has no code for would silently become another one: refused instead.
long Host2NorvexBase::SetOnLineBaudRate(unsigned int baud) {
  const auto found = std::find(kSpeedOfCode.begin(), kSpeedOfCode.end(), baud);
  if (found == kSpeedOfCode.end()) return wrong_parameter_value;
  BeginInstruction(instruction::kSetOnlineBaudRate);
  command->AddParam(static_cast<uint8_t>(found - kSpeedOfCode.begin()));
  return Execute();
}

long Host2NorvexBase::GetJumperBaudRate(unsigned int* baud) {
  if (baud == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kGetJumperBaudRate);
  if (const long result = SendInstruction(); result != 0) return result;
  const auto reply = Reply();
  if (reply.empty()) return MalformedReply(resp_too_short);
  const uint8_t code = reply[0];
  *baud = code < kSpeedOfCode.size() ? kSpeedOfCode[code] : kDefaultSpeed;
  return ReplyStatus();
}

long Host2NorvexBase::TestWatchDog() {
  BeginInstruction(instruction::kWatchdog);
  return Execute();
}

long Host2NorvexBase::CheckWDT() {
  BeginInstruction(instruction::kWatchdog);
  return Execute();
}

long Host2NorvexBase::PingReader(uint8_t* data, uint16_t* len) {
  if (len == nullptr || (data == nullptr && *len != 0)) return wrong_parameter_value;
  BeginInstruction(instruction::kPing);
  if (*len != 0) command->AddParam(data, *len);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyExactReply({data, *len}, wrong_parameter_value);
}

long Host2NorvexBase::ReadBack(uint16_t value) {
  BeginInstruction(instruction::kReadBack);
  command->AddParam(value);
  return Execute();
}
