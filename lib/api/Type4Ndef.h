// SPDX-License-Identifier: MIT
#pragma once
// The NFC Forum type 4 tag mapping (version 2.0) over ISO 7816-4 APDUs on an activated ISO
// 14443-4 card: the NDEF application D2 76 00 00 85 01 01, its capability container file E103 and
// the NDEF file it names, which holds a 2-byte length (NLEN) and the message.

#include <cstdint>
#include <span>

#include "norvexapi.h"

long Type4NdefInfo(void* session, APDU_CHANNEL& channel, uint32_t& capacity,
                   uint32_t& messageLength);
long Type4ReadNdef(void* session, APDU_CHANNEL& channel, uint8_t* message, uint32_t* length);
long Type4WriteNdef(void* session, APDU_CHANNEL& channel, std::span<const uint8_t> message);
// Creates the NDEF application on a DESFire EV1 with the default PICC master key; a card that
// already holds it gets an empty message. Any other card without the application is refused
// (ndef_card_refused) and left unchanged: type 4 tags have no format command.
long Type4Format(void* session, APDU_CHANNEL& channel);
