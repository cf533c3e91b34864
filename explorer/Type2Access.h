// SPDX-License-Identifier: MIT
#pragma once
// The card side of the Ultralight / NTAG view, free of widgets so that it runs in a job step on
// the worker: activating the tag with the user's credentials, telling the chip, reading a range
// of pages as far as the tag lets it be read.
//
// A tag forgets its authentication whenever it goes idle, and every refused command sends it
// idle, so each activation authenticates again. A refused password is never retried: the tag
// counts each wrong one against its AUTHLIM.

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "dump/Type2Layout.h"

struct Type2Credentials {
  QByteArray password;  // PWD, 4 bytes, or empty
  QByteArray pack;      // PACK the tag must answer, 2 bytes, or empty
  QByteArray key;       // Ultralight C 3DES key, 16 bytes, or empty
  bool Any() const { return !password.isEmpty() || !key.isEmpty(); }
};

// Activates the idle tag and proves the credentials; 0 or the failing call's status. pack
// receives the tag's PACK after a password.
long ActivateTag(void* session, const Type2Credentials& credentials, QByteArray* pack = nullptr);

// The chip of the active tag (GET_VERSION, else its behaviour), the tag left active again.
struct Type2Identity {
  long status = 0;
  uint8_t chip = 0;  // MIFU_CHIP_*
  QByteArray version;
};
Type2Identity IdentifyTag(void* session, const Type2Credentials& credentials);

// Reads pages first to last into memory (which holds whole pages from page 0) with FAST_READ
// where the chip has it, else four pages a read. Returns the page after the last good one: last
// + 1, or less when the tag refused a page (read protection), the tag then active again. That
// may lie before `first`: a four-page read that wrapped past the first protected page to page 0
// is found out only when the next read is refused.
unsigned ReadPages(void* session, const Type2Credentials& credentials,
                   const norvex::dump::Type2Chip& chip, unsigned first, unsigned last,
                   std::vector<uint8_t>& memory);
