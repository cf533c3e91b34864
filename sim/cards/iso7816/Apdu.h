// SPDX-License-Identifier: MIT
#pragma once
// ISO/IEC 7816-4 command APDUs (the four cases, short and extended length fields) and the status
// words the card's application answers with.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace norvexsim::iso7816 {

struct Command {
  uint8_t cla = 0, ins = 0, p1 = 0, p2 = 0;
  std::vector<uint8_t> data;  // Lc bytes
  std::optional<size_t> ne;   // expected answer length; absent when there is no Le field
  bool neMaximum = false;     // Le was 00 (0000 extended): as much as there is, up to Ne
};

// std::nullopt when the bytes are no valid coding of a command (fewer than 4 bytes, Lc
// disagreeing with the length, Lc of zero).
std::optional<Command> parseCommand(std::span<const uint8_t> apdu);

// Data followed by SW1 SW2.
std::vector<uint8_t> withStatus(std::vector<uint8_t> data, uint16_t sw);

namespace sw {
constexpr uint16_t kOk = 0x9000;
constexpr uint16_t kEndOfFileReached = 0x6282;
constexpr uint16_t kWrongLength = 0x6700;
constexpr uint16_t kChannelNotSupported = 0x6881;
constexpr uint16_t kSecureMessagingNotSupported = 0x6882;
constexpr uint16_t kChainingNotSupported = 0x6884;
constexpr uint16_t kSecurityNotSatisfied = 0x6982;
constexpr uint16_t kConditionsNotSatisfied = 0x6985;
constexpr uint16_t kNoCurrentEf = 0x6986;
constexpr uint16_t kFileNotFound = 0x6A82;
constexpr uint16_t kNotEnoughSpace = 0x6A84;
constexpr uint16_t kWrongP1P2 = 0x6A86;
constexpr uint16_t kWrongOffset = 0x6B00;
constexpr uint16_t kInsNotSupported = 0x6D00;
constexpr uint16_t kClaNotSupported = 0x6E00;
constexpr uint16_t kBytesAvailable = 0x6100;  // | count, 00 for 256 or more
}  // namespace sw

}  // namespace norvexsim::iso7816
