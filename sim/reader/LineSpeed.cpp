// SPDX-License-Identifier: MIT
#include "sim/reader/LineSpeed.h"

#include <array>
#include <charconv>

namespace norvexsim {

namespace {

constexpr std::array<unsigned, kHighestSpeedCode + 1> kSpeeds{9600, 19200, 57600, 115200, 38400};

std::optional<unsigned> decimal(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<unsigned> speedOfCode(uint8_t code) {
  if (code > kHighestSpeedCode) return std::nullopt;
  return kSpeeds[code];
}

std::optional<uint8_t> parseJumperSetting(std::string_view text) {
  constexpr std::string_view kCodePrefix = "code:";
  if (text.starts_with(kCodePrefix)) {
    const auto code = decimal(text.substr(kCodePrefix.size()));
    if (!code || *code > 0xFF) return std::nullopt;
    return static_cast<uint8_t>(*code);
  }
  const auto speed = decimal(text);
  for (uint8_t code = 0; speed && code <= kHighestSpeedCode; ++code) {
    if (kSpeeds[code] == *speed) return code;
  }
  return std::nullopt;
}

std::string describeSpeedCode(uint8_t code) {
  if (const auto speed = speedOfCode(code)) return std::to_string(*speed);
  return "code " + std::to_string(code);
}

}  // namespace norvexsim
