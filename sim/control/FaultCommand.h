// SPDX-License-Identifier: MIT
#pragma once
#include <string>
#include <vector>

namespace norvexsim {

class Simulator;

// Arms the fault that args name on a reader (the words after "fault READER"):
//   crc                  next reply with a wrong CRC
//   stale                next reply with the previous sequence number
//   silence N            the next N requests get no reply
//   status S             the next request is answered with status byte S (-128..127), no data
//   leave N [UIDHEX]     the card (every card) leaves after N more instructions
//   clear                disarms every fault of the reader and its cards
// and, on the ISO 14443-4 cards in the field (or the one with UIDHEX):
//   wtx N [UIDHEX]              N S(WTX) requests before the next answer
//   slow MS [UIDHEX]            the next command takes MS milliseconds longer
//   lose-iblock [UIDHEX]        the next I-block does not reach the card
//   nak [UIDHEX]                the next I-block is answered with R(NAK)
//   wrong-ack [UIDHEX]          the next I-block is answered with R(ACK) of the wrong number
//   empty [UIDHEX]              the next frame of the card arrives empty
//   one-byte [UIDHEX]           the next frame of the card arrives cut to one byte
//   oversize [UIDHEX]           the next answer too long for FSD goes out in one frame
//   leave-mid-chain [UIDHEX]    the card leaves the field at the next block of a chain
// Throws std::invalid_argument with a message for anything else.
void applyFault(Simulator& simulator, int reader, const std::vector<std::string>& args);

// The kinds, for the help text.
const char* faultKinds();

}  // namespace norvexsim
