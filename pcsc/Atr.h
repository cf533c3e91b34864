// SPDX-License-Identifier: MIT
#pragma once
// The ATR a contactless card gets, as PC/SC Part 3 builds it: from the ATS historical bytes for
// ISO 14443-4 type A cards, from the ATQB and the ATTRIB answer for type B cards, the
// registered-application form with the card name for storage cards.

#include <cstdint>
#include <span>
#include <vector>

namespace norvex::pcsc {

// 3B 8n 80 01 <historical bytes> TCK, with at most 15 historical bytes.
std::vector<uint8_t> iso14443_4Atr(std::span<const uint8_t> historicalBytes);

// 3B 88 80 01 <application data (4)> <protocol info (3)> <MBLI of the ATTRIB answer, bits 8-5> TCK.
std::vector<uint8_t> typeBAtr(std::span<const uint8_t, 4> applicationData,
                              std::span<const uint8_t, 3> protocolInfo, uint8_t attribAnswer);

// 3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 <name> 00 00 00 00 TCK: standard 03 (ISO 14443 A
// part 3), then the two card-name bytes.
std::vector<uint8_t> storageCardAtr(uint16_t cardName);

}  // namespace norvex::pcsc
