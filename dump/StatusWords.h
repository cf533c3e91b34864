// SPDX-License-Identifier: MIT
// The meaning of the common ISO 7816-4 status words (SW1 SW2), and of the DESFire status bytes a
// card returns as 91xx to wrapped native commands.
#pragma once

#include <cstdint>
#include <string>

namespace norvex::dump {

// "file or application not found" for 6A82; "" for a status word not in the table.
std::string statusWordText(uint8_t sw1, uint8_t sw2);
// Whether the status word reports success (9000, 91 00, or 61xx: more data waits).
bool statusWordSucceeds(uint8_t sw1, uint8_t sw2);

}  // namespace norvex::dump
