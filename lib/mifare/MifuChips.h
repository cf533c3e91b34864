// SPDX-License-Identifier: MIT
#pragma once
// The Ultralight and NTAG chips by their GET_VERSION answer: vendor 04, product type (byte 2:
// 03 Ultralight EV1, 04 NTAG), storage size code (byte 6), with their user memory and the page
// of their first configuration page (CFG0, then CFG1, PWD, PACK).

#include <array>
#include <cstdint>
#include <optional>

namespace mifu {

struct ChipFacts {
  uint8_t chip;        // MIFU_CHIP_*
  uint16_t userBytes;  // user memory
  uint8_t configPage;  // CFG0; 0: no configuration pages
};

// The chip a GET_VERSION answer names, or MIFU_CHIP_UNKNOWN with the size the storage code
// gives (2^(code >> 1) bytes, the lower bound when bit 0 is set) and no configuration page.
ChipFacts IdentifyChip(const std::array<uint8_t, 8>& version);

// The facts of a known chip code; std::nullopt for MIFU_CHIP_UNKNOWN and any other value.
std::optional<ChipFacts> FactsOfChip(uint8_t chip);

}  // namespace mifu
