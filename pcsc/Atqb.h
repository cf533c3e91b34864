// SPDX-License-Identifier: MIT
#pragma once
// The parts of an ISO 14443-3 type B answer to request (ATQB) the driver uses: the PUPI that
// names the card, the application data and protocol info that go into its ATR, and from the
// protocol info the card's frame size, frame waiting time and CID support.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace norvex::pcsc {

struct AtqbInfo {
  std::array<uint8_t, 4> pupi{};
  std::array<uint8_t, 4> applicationData{};
  std::array<uint8_t, 3> protocolInfo{};
  uint16_t frameSize = 32;     // Max_Frame_Size in bytes, at most the 1024 the library exchanges
  uint32_t waitingTimeMs = 5;  // FWT, rounded up to whole milliseconds
  bool cidSupported = false;
};

// ATQB as received: 50, PUPI (4), application data (4), protocol info (3), and the extended
// protocol info byte some cards add. Nothing for a shorter answer or another first byte.
std::optional<AtqbInfo> parseAtqb(std::span<const uint8_t> atqb);

}  // namespace norvex::pcsc
