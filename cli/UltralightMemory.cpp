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

// The whole tag in FAST_READ exchanges; false (the tag activated again) when it refuses.
bool fastReadAll(void* session, const TagCredentials& credentials, unsigned pages,
                 std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> all(std::size_t{pages} * kPageSize);
  if (MifU_FastRead(session, 0, static_cast<uint8_t>(pages - 1), all.data()) == NORVEX_OK) {
    bytes = std::move(all);
    return true;
  }
  activateTag(session, credentials);
  return false;
}

}  // namespace

TagMemory readTagMemory(void* session, const TagCredentials& credentials,
                        const std::optional<ChipLayout>& layout, const FieldCard& card) {
  activateTag(session, credentials);
  TagMemory memory;
  memory.knownPages = layout ? layout->readablePages : 0;
  const unsigned end = layout ? layout->readablePages : kMaxPages;
  if (layout && layout->configPage != 0 && fastReadAll(session, credentials, end, memory.bytes))
    return memory;
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
