// SPDX-License-Identifier: MIT
#pragma once
// The parts of an ISO 14443-4 answer to select (ATS) the driver uses: the historical bytes for
// the ATR, the card's frame size (FSC) and its frame waiting time (FWT).

#include <cstdint>
#include <span>
#include <vector>

namespace norvex::pcsc {

struct AtsInfo {
  std::vector<uint8_t> historicalBytes;
  uint8_t fsci = 2;            // the code of FSC in T0
  uint16_t frameSize = 32;     // FSC in bytes, at most the 1024 the library exchanges
  uint32_t waitingTimeMs = 5;  // FWT, rounded up to whole milliseconds
};

// The frame size of an FSCI (ATS) or Max_Frame_Size (ATQB) code, at most 1024.
uint16_t frameSizeOfCode(unsigned code);
// FWT = 256 * 16 / fc * 2^FWI, rounded up to whole milliseconds (FWI 15, RFU, counts as 14).
uint32_t waitingTimeMsOfFwi(unsigned fwi);

// ATS as received, TL first. A TL that claims more bytes than arrived, or interface bytes that
// run past it, leave the missing parts at their ISO 14443-4 defaults.
AtsInfo parseAts(std::span<const uint8_t> ats);

}  // namespace norvex::pcsc
