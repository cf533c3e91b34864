// SPDX-License-Identifier: MIT
#include "sim/reader/ReaderState.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace norvexsim {

ReaderState::ReaderState(uint16_t pid) : productId(pid), eeprom(kEepromSize, 0xFF) {
  resetAttributes();
  // Product information block: product ID, firmware version, a serial number derived from
  // the product ID so that two simulated models differ.
  const uint8_t info[kEepromProtected] = {static_cast<uint8_t>(pid & 0xFF),
                                          static_cast<uint8_t>(pid >> 8),
                                          0x01,
                                          0x00,
                                          0x5A,
                                          0x2E,
                                          0x00,
                                          0x00,
                                          0x4E,
                                          0x56,
                                          static_cast<uint8_t>(pid & 0xFF),
                                          static_cast<uint8_t>(pid >> 8),
                                          0x00,
                                          0x00,
                                          0x00,
                                          0x00};
  std::copy(std::begin(info), std::end(info), eeprom.begin());
  registers[0x01] = 0x00;  // command register: idle
  registers[0x11] = 0x5B;  // transmitter control: both antenna drivers on
  registers[0x12] = 0x3F;  // antenna driver conductance
}

void ReaderState::powerCycle() {
  ReaderState fresh(productId);
  fresh.eeprom = std::move(eeprom);
  fresh.jumperBaudCode = jumperBaudCode;
  *this = std::move(fresh);
}

void ReaderState::resetAttributes() {
  attributes = {0x00, 0x00, 0x08, 0x01, 0x00};
}

}  // namespace norvexsim

namespace norvexsim {

std::string peripheralName(uint8_t device) {
  if (device == ReaderState::kLedDevice) return "LED";
  if (device == ReaderState::kBuzzerDevice) return "buzzer";
  return "peripheral " + std::to_string(device);
}

std::vector<std::string> describe(const ReaderState& state) {
  const char* mode = state.ispMode ? "isp" : state.downloadMode ? "download" : "normal";
  std::vector<std::string> lines{"jumper-speed " + describeSpeedCode(state.jumperBaudCode),
                                 "line-speed " + describeSpeedCode(state.onlineBaudCode),
                                 std::string("rf-scan ") + (state.rfScan ? "on" : "off"),
                                 std::string("mode ") + mode};
  for (const auto& [device, value] : state.peripherals) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", value);
    lines.push_back(peripheralName(device) + " " + hex);
  }
  return lines;
}

}  // namespace norvexsim
