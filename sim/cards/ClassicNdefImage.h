// SPDX-License-Identifier: MIT
#pragma once
// A Mifare Classic memory image formatted as an NFC Forum tag holding a given NDEF message, as
// NDEF-formatting tools leave a card: the Mifare application directory in sector 0 (and in
// sector 16 of a 4K card) naming every other sector an NDEF sector, the message in an NDEF TLV
// running through the data blocks of the NDEF sectors, and the public keys and access bits in
// the trailers (key B stays FF FF FF FF FF FF).

#include <cstdint>
#include <span>
#include <vector>

namespace norvexsim {

// Formats memory (320, 1024 or 4096 bytes; block 0 is kept) and writes message into it. Throws
// std::invalid_argument when the message does not fit the card.
void formatClassicNdef(std::vector<uint8_t>& memory, std::span<const uint8_t> message);

}  // namespace norvexsim
