// SPDX-License-Identifier: MIT
#include "cli/UltralightMemory.h"

#include "cli/CliError.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr unsigned kPagesPerRead = 4;
constexpr unsigned kMaxPages = 256;

// A card with a 7-byte UID that refuses page 0: named when its ATQA and SAK say it is another
// card (a DESFire, a Classic with a 7-byte UID), else the tag's refusal is the error.
[[noreturn]] void refuseFirstPage(const FieldCard& card, long status) {
  const std::string refusal = statusMessage("reading page 0", status);
  if (card.type().kind != "ultralight")
    throw CliError(kExitCardError, "the card (" + card.description() +
                                       ") is not a Mifare Ultralight / NTAG (" + refusal + ")");
  throw CliError(kExitCardError, refusal);
}

// FAST_READ of pages [first, last) appended to bytes; false (the tag activated again) when the tag
// refuses one of them.
bool fastRead(void* session, const TagCredentials& credentials, unsigned first, unsigned last,
              std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> pages(std::size_t{last - first} * kPageSize);
  if (MifU_FastRead(session, static_cast<uint8_t>(first), static_cast<uint8_t>(last - 1),
                    pages.data()) == NORVEX_OK) {
    bytes.insert(bytes.end(), pages.begin(), pages.end());
    return true;
  }
  activateTag(session, credentials);
  return false;
}

// The readable pages of a chip with FAST_READ in as few exchanges as its protection allows. The
// tag refuses every page from AUTH0 on and nothing before it, so after the whole tag is refused
// the first refused page is found by halving the range still in question, and each range read on
// the way is kept.
std::vector<uint8_t> fastReadReadable(void* session, const TagCredentials& credentials,
                                      unsigned pages) {
  std::vector<uint8_t> bytes;
  unsigned good = 0;         // pages [0, good) read
  unsigned refused = pages;  // a page before this one is refused, once a read was refused
  bool someRefused = false;
  while (good < refused) {
    const unsigned last = someRefused ? good + (refused - good) / 2 : refused;
    if (last == good) break;
    if (fastRead(session, credentials, good, last, bytes)) {
      good = last;
    } else {
      refused = last;
      someRefused = true;
    }
  }
  return bytes;
}

}  // namespace

TagMemory readTagMemory(void* session, const TagCredentials& credentials,
                        const std::optional<ChipLayout>& layout, const FieldCard& card,
                        bool active) {
  if (active) {
    authenticateTag(session, credentials);
  } else {
    activateTag(session, credentials);
  }
  TagMemory memory;
  memory.knownPages = layout ? layout->readablePages : 0;
  const unsigned end = layout ? layout->readablePages : kMaxPages;
  // The chips with configuration pages (Ultralight EV1, NTAG21x) have FAST_READ.
  if (layout && layout->configPage != 0) {
    memory.bytes = fastReadReadable(session, credentials, end);
    if (memory.bytes.empty()) {
      uint8_t first[kPageSize * kPagesPerRead] = {};
      if (const long status = MifU_Read16Bytes(session, 0, first); status != NORVEX_OK)
        refuseFirstPage(card, status);
    }
    return memory;
  }
  unsigned page = 0;
  for (; page < end; page += kPagesPerRead) {
    uint8_t block[kPageSize * kPagesPerRead] = {};
    const long status = MifU_Read16Bytes(session, static_cast<uint8_t>(page), block);
    if (status != NORVEX_OK) {
      if (page == 0) refuseFirstPage(card, status);
      activateTag(session, credentials);
      break;
    }
    memory.bytes.insert(memory.bytes.end(), block, block + sizeof block);
  }
  unsigned good = std::min(page, end);
  if (page < end) {
    // The last good read may have wrapped: keep only the pages that answer alone.
    for (good = page - kPagesPerRead + 1; good < page; ++good) {
      uint8_t single[kPageSize] = {};
      if (MifU_ReadPage(session, static_cast<uint8_t>(good), single) != NORVEX_OK) {
        activateTag(session, credentials);
        break;
      }
    }
  }
  memory.bytes.resize(std::size_t{good} * kPageSize);
  return memory;
}

std::string unreadPagesText(const TagMemory& memory, const TagCredentials& credentials) {
  return "pages " + std::to_string(memory.pagesRead()) + "-" +
         std::to_string(memory.knownPages - 1) + " not read: the tag refused them " +
         (credentials.any() ? "even after authentication"
                            : "(read-protected; --password, or --key on an Ultralight C, "
                              "opens them)");
}

}  // namespace norvex::cli
