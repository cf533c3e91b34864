// SPDX-License-Identifier: MIT
#include "Type2Access.h"

#include <algorithm>
#include <array>

#include "norvexapi.h"

namespace {

using norvex::dump::kType2PageSize;

const uint8_t* Bytes(const QByteArray& bytes) {
  return reinterpret_cast<const uint8_t*>(bytes.constData());
}

// FAST_READ of pages first to first + count - 1 into memory; false (the tag active again) when
// the tag refuses.
bool FastRead(void* session, const Type2Credentials& credentials, unsigned first, unsigned count,
              std::vector<uint8_t>& memory) {
  std::vector<uint8_t> pages(std::size_t{count} * kType2PageSize);
  const auto last = static_cast<uint8_t>(first + count - 1);
  if (MifU_FastRead(session, static_cast<uint8_t>(first), last, pages.data()) == NORVEX_OK) {
    std::copy(pages.begin(), pages.end(), memory.begin() + first * kType2PageSize);
    return true;
  }
  ActivateTag(session, credentials);
  return false;
}

// A FAST_READ refused somewhere in the range: the longest readable beginning of it, found by
// halving (a handful of exchanges instead of one per page).
unsigned FastReadPrefix(void* session, const Type2Credentials& credentials, unsigned first,
                        unsigned count, std::vector<uint8_t>& memory) {
  unsigned good = 0, bad = count;  // pages [first, first + good) read; first + bad refused
  while (bad - good > 1) {
    const unsigned middle = (good + bad) / 2;
    if (FastRead(session, credentials, first, middle, memory)) {
      good = middle;
    } else {
      bad = middle;
    }
  }
  return good;
}

// Four pages a read; the end of the good pages. A read that starts on a readable page wraps past
// the first protected one to page 0, so when a read is refused the pages of the read before it are
// checked one by one.
unsigned GroupRead(void* session, const Type2Credentials& credentials, unsigned first,
                   unsigned last, std::vector<uint8_t>& memory) {
  constexpr unsigned kPagesPerRead = 4;
  unsigned page = first;
  for (; page <= last; page += kPagesPerRead) {
    std::array<uint8_t, kPagesPerRead * kType2PageSize> block{};
    if (MifU_Read16Bytes(session, static_cast<uint8_t>(page), block.data()) != NORVEX_OK) break;
    const unsigned pages = std::min(kPagesPerRead, last + 1 - page);
    std::copy_n(block.begin(), pages * kType2PageSize, memory.begin() + page * kType2PageSize);
  }
  if (page > last) return last + 1;
  ActivateTag(session, credentials);
  // The read before the refused one (possibly in an earlier call) started on a readable page.
  const unsigned checkFrom = page >= kPagesPerRead ? page - kPagesPerRead + 1 : 0;
  for (unsigned single = checkFrom; single < page; ++single) {
    std::array<uint8_t, kType2PageSize> alone{};
    if (MifU_ReadPage(session, static_cast<uint8_t>(single), alone.data()) != NORVEX_OK) {
      ActivateTag(session, credentials);
      return single;
    }
  }
  return page;
}

}  // namespace

long ActivateTag(void* session, const Type2Credentials& credentials, QByteArray* pack) {
  std::array<uint8_t, 8> uid{};
  if (const long status = MifU_GetCard(session, uid.data()); status != NORVEX_OK) return status;
  if (!credentials.key.isEmpty()) return MifU_AuthenticateC(session, Bytes(credentials.key));
  if (credentials.password.isEmpty()) return NORVEX_OK;
  std::array<uint8_t, 2> answer{};
  const uint8_t* expected = credentials.pack.isEmpty() ? nullptr : Bytes(credentials.pack);
  const long status =
      MifU_PasswordAuth(session, Bytes(credentials.password), expected, answer.data());
  if (pack != nullptr) *pack = QByteArray(reinterpret_cast<const char*>(answer.data()), 2);
  return status;
}

Type2Identity IdentifyTag(void* session, const Type2Credentials& credentials) {
  Type2Identity identity;
  std::array<uint8_t, 8> version{};
  uint16_t userBytes = 0;
  identity.status = MifU_GetVersion(session, version.data(), &identity.chip, &userBytes);
  if (identity.status != NORVEX_OK) return identity;
  identity.version = QByteArray(reinterpret_cast<const char*>(version.data()), version.size());
  // A tag without GET_VERSION refused it and went idle.
  if (identity.chip == MIFU_CHIP_ULTRALIGHT || identity.chip == MIFU_CHIP_ULTRALIGHT_C)
    identity.status = ActivateTag(session, credentials);
  return identity;
}

unsigned ReadPages(void* session, const Type2Credentials& credentials,
                   const norvex::dump::Type2Chip& chip, unsigned first, unsigned last,
                   std::vector<uint8_t>& memory) {
  if (!chip.fastRead) return GroupRead(session, credentials, first, last, memory);
  const unsigned count = last + 1 - first;
  if (FastRead(session, credentials, first, count, memory)) return last + 1;
  return first + FastReadPrefix(session, credentials, first, count, memory);
}
