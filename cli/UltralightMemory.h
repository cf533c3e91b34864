// SPDX-License-Identifier: MIT
// Reading the pages of an Ultralight / NTAG tag, as far as the tag lets them be read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CardChoice.h"
#include "cli/TagModel.h"
#include "cli/UltralightAccess.h"

namespace norvex::cli {

constexpr unsigned kPageSize = 4;

struct TagMemory {
  std::vector<uint8_t> bytes;  // the pages read, from page 0 on
  unsigned knownPages = 0;     // the readable pages the chip has; 0 when only reading tells
  unsigned pagesRead() const { return static_cast<unsigned>(bytes.size() / kPageSize); }
  // Pages the chip has but the tag refused (read protection): none when the size is unknown.
  bool complete() const { return knownPages == 0 || pagesRead() >= knownPages; }
};

// Reads the tag, authenticated with the credentials. A chip with FAST_READ (Ultralight EV1,
// NTAG21x) is read to its last page in FAST_READ exchanges; when it refuses some pages (read
// protection from AUTH0 on), the readable ones before them are found by halving the range in
// question and still read with FAST_READ. Other chips are read four pages a read until the tag
// refuses one, then page by page from the last good read, since a read wraps past the last page
// (and past the first protected one) to page 0. The pages before the first refused one are kept.
// card names the card when page 0 is refused. An idle tag is activated first; one still active
// (it answered GET_VERSION) is only authenticated.
TagMemory readTagMemory(void* session, const TagCredentials& credentials,
                        const std::optional<ChipLayout>& layout, const FieldCard& card,
                        bool active = false);

// "pages 16-44 not read: ..." for an incomplete memory, naming what would open them.
std::string unreadPagesText(const TagMemory& memory, const TagCredentials& credentials);

}  // namespace norvex::cli
