// SPDX-License-Identifier: MIT
#include "api/TagActivation.h"

#include <array>

#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kSakIso14443_4 = 0x20;
constexpr uint8_t kSakClassic = 0x08;  // 1K 08, 4K 18, mini 09
constexpr uint8_t kRatsParam = 0x80;   // FSDI 8: the reader takes frames of 256 bytes; CID 0
constexpr uint32_t kCardTimeout = 1000;
// Frame sizes by FSCI (ISO 14443-4); values past 8 count as 256.
constexpr std::array<uint16_t, 9> kFrameSizes{16, 24, 32, 40, 48, 64, 96, 128, 256};

// The card's frame size from its ATS: TL, T0 (FSCI in the low nibble), ... An ATS without T0
// announces FSCI 2 (32 bytes).
uint16_t FrameSizeOf(const uint8_t* ats, uint16_t atsLen) {
  if (atsLen < 2) return kFrameSizes[2];
  const unsigned fsci = ats[1] & 0x0F;
  return fsci < kFrameSizes.size() ? kFrameSizes[fsci] : kFrameSizes.back();
}

}  // namespace

long ActivateTag(void* session, ActiveTag& tag) {
  std::array<uint8_t, 10> uid{};
  uint8_t uidLen = static_cast<uint8_t>(uid.size()), atq[2] = {}, sak = 0;
  if (const long status = SelectCardEx(session, uid.data(), &uidLen, atq, &sak)) return status;
  if ((sak & kSakIso14443_4) != 0) {
    std::array<uint8_t, 64> ats{};
    auto atsLen = static_cast<uint16_t>(ats.size());
    if (const long status = V2_RequestATS(session, kRatsParam, &atsLen, ats.data())) return status;
    tag.family = TagFamily::Iso14443_4;
    tag.channel = {0, FrameSizeOf(ats.data(), atsLen), kCardTimeout};
    return 0;
  }
  if (sak == 0) {
    tag.family = TagFamily::Type2;
  } else if ((sak & kSakClassic) != 0) {
    tag.family = TagFamily::Classic;
  }
  return 0;
}
