// SPDX-License-Identifier: MIT
#pragma once
// A short command APDU taken apart (ISO 7816-4 cases 1 to 4), for the pseudo-APDUs the driver
// answers itself.

#include <cstdint>
#include <optional>
#include <span>

namespace norvex::pcsc {

struct CommandApdu {
  uint8_t cla = 0, ins = 0, p1 = 0, p2 = 0;
  std::span<const uint8_t> data;  // empty without Lc
  std::optional<unsigned> le;     // 1 to 256 (Le 00 is 256); none without Le
};

// Nothing for fewer than 4 bytes or a length byte that disagrees with the APDU's length.
std::optional<CommandApdu> parseCommandApdu(std::span<const uint8_t> apdu);

}  // namespace norvex::pcsc
