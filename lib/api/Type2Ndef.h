// SPDX-License-Identifier: MIT
#pragma once
// What the NDEF tag functions need of the type 2 mapping beyond the MifU_ NDEF exports.

#include <cstdint>

// The largest message the NDEF TLV's place can hold and the current message length; a tag without
// a capability container gives ndef_no_tlv.
long Type2NdefInfo(void* session, uint32_t& capacity, uint32_t& messageLength);

// Formats the activated tag for the data area its chip has (GET_VERSION; tags that do not answer
// it are Ultralights of 48 bytes).
long Type2FormatForChip(void* session);
