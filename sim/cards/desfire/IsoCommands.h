// SPDX-License-Identifier: MIT
#pragma once
// The card's ISO/IEC 7816-4 commands (class 00) beside its native ones: SELECT by DF name (the
// PICC level's D2 76 00 00 85 01 00 and every application's DF name) and by ISO file identifier
// (an application's DF, a file of the selected application, 3F00 for the PICC level), READ
// BINARY and UPDATE BINARY on standard and backup files, READ RECORD and APPEND RECORD on record
// files, each on files that have an ISO file identifier and whose right is free or held by the
// native session in plain communication. The answer is data and a status word.
//
// Where the card's behaviour is not publicly documented the card follows ISO/IEC 7816-4: SELECT
// answers no FCI (P2 00 or 0C alike), a short file identifier is the DESFire file number, record
// 1 is the newest record (native offset 0), and APPEND RECORD commits its record at once.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

constexpr uint8_t kIsoClass = 0x00;

std::vector<uint8_t> isoCommand(CardContext& card, std::span<const uint8_t> apdu);

}  // namespace norvexsim::desfire
