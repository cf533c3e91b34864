// SPDX-License-Identifier: MIT
// Length rules per type name format, shared by the parser and the builder.

#include "ndef/NdefRecord.h"

bool TnfAllowsLengths(std::uint8_t format, std::size_t typeLength, std::size_t idLength,
                      std::size_t payloadLength) {
  switch (format) {
    case tnf::empty:
      return typeLength == 0 && idLength == 0 && payloadLength == 0;
    case tnf::unknown:
    case tnf::unchanged:
      return typeLength == 0;
    case tnf::reserved:
      return false;
    default:
      return typeLength <= 0xFF && idLength <= 0xFF;
  }
}
