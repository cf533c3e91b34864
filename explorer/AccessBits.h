// SPDX-License-Identifier: MIT
#pragma once
// The access bits of a Mifare Classic sector trailer (bytes 6, 7 and 8) as the access bits dialog
// shows and writes them. Byte 6 holds inverted C2 (high nibble) and inverted C1 (low nibble),
// byte 7 holds C1 (high) and inverted C3 (low), byte 8 holds C3 (high) and C2 (low); within each
// nibble bit 3 belongs to the trailer and bits 2, 1, 0 to the data groups 2, 1, 0. The dialog
// treats the three data groups as one area: it shows group 2 and writes the same bits to all three.
//
// An area's conditions are chosen by row, in the order of the Mifare Classic access tables:
// row = 4 * C3 + 2 * C1 + C2.

#include <QString>
#include <cstdint>

namespace access_bits {

constexpr int kRows = 8;

struct AreaBits {
  int c1 = 0;
  int c2 = 0;
  int c3 = 0;
  bool operator==(const AreaBits&) const = default;
};

// Trailer bytes 6, 7 and 8.
struct AccessBytes {
  uint8_t b6 = 0;
  uint8_t b7 = 0;
  uint8_t b8 = 0;
  bool operator==(const AccessBytes&) const = default;
};

// C1, C2, C3 of a row; a row outside 0 to 7 gives (0, 0, 0).
AreaBits RowBits(int row);

// The row of three bits, or -1 when any of them is not 0 or 1.
int ValutateDataBits(int c1, int c2, int c3);

// Bytes 6, 7, 8 for data row `dataRow` (all three data groups) and trailer row `trailerRow`.
AccessBytes GenerateACLBytes(int dataRow, int trailerRow);

// The bits the dialog shows, read from the true bits only: data group 2 and the trailer.
AreaBits DataAreaBits(uint8_t b7, uint8_t b8);
AreaBits TrailerAreaBits(uint8_t b7, uint8_t b8);

// True when every inverted copy in bytes 6 and 7 is the complement of its true bit. A card
// refuses further access to a sector whose trailer fails this, so such bytes are never written.
bool InvertedCopiesAgree(const AccessBytes& bytes);

// Eight binary digits, bit 7 first.
QString DecToBin(uint8_t byte);

// What each row grants, for the dialog's area lists: data blocks and trailer.
QString DataRowText(int row);
QString TrailerRowText(int row);

}  // namespace access_bits
