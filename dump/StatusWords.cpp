// SPDX-License-Identifier: MIT
// ISO/IEC 7816-4 section 5.1.3 names the status words; 61xx, 6Cxx and 63Cx carry a number in SW2.
#include "dump/StatusWords.h"

#include <array>

namespace norvex::dump {

namespace {

struct StatusWord {
  uint16_t sw;
  const char* text;
};

constexpr std::array kStatusWords = {
    StatusWord{0x9000, "success"},
    StatusWord{0x6281, "part of the data may be corrupted"},
    StatusWord{0x6282, "end of file reached before Le bytes"},
    StatusWord{0x6283, "selected file invalidated"},
    StatusWord{0x6581, "memory failure"},
    StatusWord{0x6700, "wrong length"},
    StatusWord{0x6881, "logical channel not supported"},
    StatusWord{0x6882, "secure messaging not supported"},
    StatusWord{0x6982, "security status not satisfied"},
    StatusWord{0x6983, "authentication method blocked"},
    StatusWord{0x6984, "reference data not usable"},
    StatusWord{0x6985, "conditions of use not satisfied"},
    StatusWord{0x6986, "command not allowed (no current EF)"},
    StatusWord{0x6A80, "incorrect parameters in the data field"},
    StatusWord{0x6A81, "function not supported"},
    StatusWord{0x6A82, "file or application not found"},
    StatusWord{0x6A83, "record not found"},
    StatusWord{0x6A84, "not enough memory space in the file"},
    StatusWord{0x6A86, "incorrect parameters P1-P2"},
    StatusWord{0x6A88, "referenced data not found"},
    StatusWord{0x6B00, "wrong parameters P1-P2"},
    StatusWord{0x6D00, "instruction not supported"},
    StatusWord{0x6E00, "class not supported"},
    StatusWord{0x6F00, "no precise diagnosis"},
    // DESFire native commands wrapped in ISO 7816-4 APDUs answer 91 and their status byte.
    StatusWord{0x9100, "DESFire: success"},
    StatusWord{0x910C, "DESFire: no change"},
    StatusWord{0x911C, "DESFire: illegal command code"},
    StatusWord{0x911E, "DESFire: integrity error"},
    StatusWord{0x9140, "DESFire: no such key"},
    StatusWord{0x917E, "DESFire: length error"},
    StatusWord{0x919D, "DESFire: permission denied"},
    StatusWord{0x919E, "DESFire: parameter error"},
    StatusWord{0x91A0, "DESFire: application not found"},
    StatusWord{0x91AE, "DESFire: authentication error"},
    StatusWord{0x91AF, "DESFire: additional frame"},
    StatusWord{0x91BE, "DESFire: boundary error"},
    StatusWord{0x91DE, "DESFire: duplicate error"},
    StatusWord{0x91F0, "DESFire: file not found"},
};

}  // namespace

std::string statusWordText(uint8_t sw1, uint8_t sw2) {
  if (sw1 == 0x61) return std::to_string(sw2) + " more bytes available (GET RESPONSE)";
  if (sw1 == 0x6C) return "wrong Le: " + std::to_string(sw2) + " bytes available";
  if (sw1 == 0x63 && (sw2 & 0xF0) == 0xC0)
    return "verification failed, " + std::to_string(sw2 & 0x0F) + " tries left";
  const uint16_t sw = static_cast<uint16_t>(sw1 << 8 | sw2);
  for (const StatusWord& entry : kStatusWords)
    if (entry.sw == sw) return entry.text;
  return {};
}

bool statusWordSucceeds(uint8_t sw1, uint8_t sw2) {
  return (sw1 == 0x90 && sw2 == 0x00) || (sw1 == 0x91 && sw2 == 0x00) || sw1 == 0x61;
}

}  // namespace norvex::dump
