// SPDX-License-Identifier: MIT
#pragma once
// Codes of the reader instructions that act on cards in the field.

#include <cstdint>

namespace norvexsim::cardinstr {

constexpr uint8_t kExchangeByteStream = 0x03;
constexpr uint8_t kRequest = 0x11;
constexpr uint8_t kAnticoll = 0x12;
constexpr uint8_t kSelect = 0x13;
constexpr uint8_t kAuth = 0x14;
constexpr uint8_t kAuthE = 0x15;
constexpr uint8_t kLoadKeyE2 = 0x17;
constexpr uint8_t kAuthKey = 0x18;
constexpr uint8_t kRead = 0x19;
constexpr uint8_t kWrite = 0x1A;
constexpr uint8_t kValue = 0x1B;
constexpr uint8_t kValueDebit = 0x1C;
constexpr uint8_t kHalt = 0x1D;
constexpr uint8_t kWrite4 = 0x1E;
constexpr uint8_t kCommonWrite = 0x1F;
constexpr uint8_t kCommonRead = 0x28;
constexpr uint8_t kCommonRequest = 0x40;
constexpr uint8_t kCascAnticoll = 0x41;
constexpr uint8_t kCascSelect = 0x42;
constexpr uint8_t kActivateIdle = 0x43;
constexpr uint8_t kActivateWakeup = 0x44;
constexpr uint8_t kExchangeBlock = 0x48;
constexpr uint8_t kRequestAts = 0xE7;

}  // namespace norvexsim::cardinstr
