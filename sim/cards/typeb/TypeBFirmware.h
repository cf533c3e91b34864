// SPDX-License-Identifier: MIT
#pragma once
// The reader firmware's ISO 14443-3 type B instructions (0xB0-0xB5). Parameters and replies:
//   0xB0 common request: APf (0x05), AFI, PARAM (bits 2-0 slot count code N = 2^code, 0-4;
//        bit 3 set: WUPB, else REQB)                              -> the ATQB of slot 1 (12 bytes)
//   0xB1 REQB: AFI, PARAM (as above; bit 3 ignored)               -> the ATQB of slot 1
//   0xB2 WUPB: AFI, PARAM                                         -> the ATQB of slot 1
//   0xB3 ATTRIB: PUPI (4), Param 1, Param 2, Param 3, Param 4 (CID in bits 3-0), length L of the
//        higher-layer data, then L bytes                -> MBLI/CID byte, 0x00, m, then m bytes of
//                                                          the card's higher-layer response
//   0xB4 slot marker: slot number 2-16                            -> the ATQB of that slot
//   0xB5 HLTB: PUPI (4)                                           -> no data
// No card answering gives the no-card status; several cards answering in the same slot, the
// collision status; malformed parameters, the bad-frame status.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/Reply.h"
#include "sim/cards/AirLink.h"
#include "sim/cards/Card.h"

namespace norvexsim {

// std::nullopt when the code is not a type B instruction. Only the type B cards of the field hear
// the frames.
std::optional<Reply> runTypeBInstruction(const std::vector<std::unique_ptr<Card>>& field,
                                         AirLink& link, uint8_t code,
                                         std::span<const uint8_t> params);

}  // namespace norvexsim
