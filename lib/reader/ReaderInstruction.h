// SPDX-License-Identifier: MIT
#pragma once
// The reader's instruction codes: the byte after the sequence number of every request frame. One
// name per code, so that the command set reads as what it asks the reader to do.

#include <cstdint>

namespace instruction {

// Reader chip registers and raw exchange.
inline constexpr uint8_t kWriteRegister = 0x01;
inline constexpr uint8_t kReadRegister = 0x02;
inline constexpr uint8_t kExchangeByteStream = 0x03;  // a frame to the card, flags say CRC/parity

// Reader set-up.
inline constexpr uint8_t kConfigure = 0x10;
inline constexpr uint8_t kRfReset = 0x20;
inline constexpr uint8_t kReadEeprom = 0x23;
inline constexpr uint8_t kWriteEeprom = 0x24;
inline constexpr uint8_t kSetResponseTimeout = 0x27;  // for the card's next frame
inline constexpr uint8_t kSetDefaultAttrib = 0x45;
inline constexpr uint8_t kSetAttrib = 0x46;
inline constexpr uint8_t kGetAttrib = 0x47;
inline constexpr uint8_t kGetFirmwareVersion = 0x63;
inline constexpr uint8_t kLoadKeySet = 0x98;
inline constexpr uint8_t kSetCardType = 0xEA;
inline constexpr uint8_t kLoadConfig = 0xED;

// ISO 14443-3 type A: request, anticollision, selection, halt.
inline constexpr uint8_t kRequest = 0x11;
inline constexpr uint8_t kAnticollision = 0x12;
inline constexpr uint8_t kSelect = 0x13;
inline constexpr uint8_t kHalt = 0x1D;
inline constexpr uint8_t kCommonRequest = 0x40;
inline constexpr uint8_t kCascadedAnticollision = 0x41;
inline constexpr uint8_t kCascadedSelect = 0x42;
inline constexpr uint8_t kActivateIdle = 0x43;
inline constexpr uint8_t kActivateWakeup = 0x44;

// Mifare Classic and Ultralight memory.
inline constexpr uint8_t kAuthenticate = 0x14;
inline constexpr uint8_t kAuthenticateFromEeprom = 0x15;
inline constexpr uint8_t kLoadKeyToEeprom = 0x17;
inline constexpr uint8_t kAuthenticateWithKey = 0x18;
inline constexpr uint8_t kReadBlock = 0x19;
inline constexpr uint8_t kWriteBlock = 0x1A;
inline constexpr uint8_t kValue = 0x1B;
inline constexpr uint8_t kValueDebit = 0x1C;
inline constexpr uint8_t kWritePage = 0x1E;  // 4 bytes (Ultralight WRITE)
inline constexpr uint8_t kCommonWrite = 0x1F;
inline constexpr uint8_t kCommonRead = 0x28;

// ISO 14443-4.
inline constexpr uint8_t kExchangeBlock = 0x48;
inline constexpr uint8_t kRequestAts = 0xE7;

// ISO 14443-3 type B.
inline constexpr uint8_t kTypeBCommonRequest = 0xB0;
inline constexpr uint8_t kTypeBRequestIdle = 0xB1;
inline constexpr uint8_t kTypeBRequestWakeup = 0xB2;
inline constexpr uint8_t kTypeBAttrib = 0xB3;
inline constexpr uint8_t kTypeBSlotMarker = 0xB4;
inline constexpr uint8_t kTypeBHalt = 0xB5;

// Maintenance.
inline constexpr uint8_t kStartDownload = 0x62;  // the boot loader takes the reader off the bus
inline constexpr uint8_t kEnterIsp = 0x66;       // the same, for in-system programming
inline constexpr uint8_t kSetOnlineBaudRate = 0x82;
inline constexpr uint8_t kGetJumperBaudRate = 0x83;
inline constexpr uint8_t kWatchdog = 0x85;
inline constexpr uint8_t kPing = 0x86;
inline constexpr uint8_t kReadBack = 0x87;
inline constexpr uint8_t kSetPeripheralState = 0xE6;  // LED, buzzer
inline constexpr uint8_t kStartRfScan = 0xE0;         // network readers poll the field themselves
inline constexpr uint8_t kStopRfScan = 0xE1;
inline constexpr uint8_t kRfScanState = 0xE8;

}  // namespace instruction
