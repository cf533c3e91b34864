// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/reader/LineSpeed.h"

namespace norvexsim {

// The reader's own settings and memories, apart from the RF field and the cards in it.
struct ReaderState {
  static constexpr size_t kRegisterCount = 64;    // the RF front end's register file
  static constexpr size_t kEepromSize = 512;      // reader non-volatile memory
  static constexpr size_t kEepromProtected = 16;  // product information, read-only
  static constexpr uint8_t kLedDevice = 0;        // peripheral numbers of instruction 0xE6
  static constexpr uint8_t kBuzzerDevice = 1;

  explicit ReaderState(uint16_t productId);

  // Back to the power-on values, keeping what survives a power cycle: the EEPROM and the
  // jumpers.
  void powerCycle();

  // Back to the power-on values of the five protocol attributes.
  void resetAttributes();

  uint16_t productId;
  // Protocol attributes: [0] PCD to PICC bit-rate code (DS), [1] PICC to PCD bit-rate code (DR),
  // [2] FSDI of the reader (8 = 256-byte frames), [3] CID supported, [4] NAD supported.
  std::array<uint8_t, 5> attributes{};
  uint8_t cardType = 'A';
  uint16_t configuration = 0;
  std::map<uint8_t, std::vector<uint8_t>> keySets;
  std::array<uint8_t, kRegisterCount> registers{};
  std::vector<uint8_t> eeprom;
  uint32_t responseTimeout = 1000;  // ISO 14443-4 response time-out set by instruction 0x27
  uint8_t onlineBaudCode = kSpeedCode115200;  // set by instruction 0x82
  uint8_t jumperBaudCode = kSpeedCode115200;  // the board's jumpers, reported by 0x83
  bool rfScan = false;
  bool downloadMode = false;
  bool ispMode = false;
  bool leaveBus = false;  // the firmware jumps to its loader once the reply is out
  std::map<uint8_t, uint8_t> peripherals;  // LED, buzzer, relay: device number to state
};

// "LED", "buzzer" or "peripheral 5".
std::string peripheralName(uint8_t device);

// The state a person looks at, one "name value" line each: line speeds, RF scan, mode
// (normal, download, isp) and the peripherals that were set.
std::vector<std::string> describe(const ReaderState& state);

}  // namespace norvexsim
