// SPDX-License-Identifier: MIT
// The order of unit writes that replaces an NDEF TLV without ever leaving a broken message.

#include "ndef/TlvWritePlan.h"

#include <algorithm>

#include "status/StatusCodes.h"

namespace tlvwrite {

namespace {

constexpr std::size_t kShortHeader = 2;  // T, one length byte
constexpr std::size_t kLongHeader = 4;   // T, FF, two length bytes
constexpr std::size_t kMaxShort = 0xFE;
constexpr std::size_t kMaxLong = 0xFFFE;

bool Differs(const std::vector<std::uint8_t>& a, std::span<const std::uint8_t> b, std::size_t unit,
             std::size_t unitSize) {
  const auto begin = static_cast<std::ptrdiff_t>(unit * unitSize);
  const auto end = begin + static_cast<std::ptrdiff_t>(unitSize);
  return !std::equal(a.begin() + begin, a.begin() + end, b.begin() + begin);
}

void Add(std::vector<UnitWrite>& writes, const std::vector<std::uint8_t>& image, std::size_t unit,
         std::size_t unitSize) {
  const auto begin = image.begin() + static_cast<std::ptrdiff_t>(unit * unitSize);
  writes.push_back({unit, {begin, begin + static_cast<std::ptrdiff_t>(unitSize)}});
}

}  // namespace

long Plan(std::span<const std::uint8_t> area, std::span<const std::uint8_t> message,
          std::size_t unitSize, std::vector<UnitWrite>& writes) {
  writes.clear();
  type2::NdefTlv tlv;
  const long found = type2::FindNdefTlv(area, tlv);
  if (found != 0 && found != ndef_no_tlv) return found;
  std::vector<std::uint8_t> bytes;
  if (const long status = type2::NdefTlvBytes(message, tlv.tlvOffset, area.size(), bytes)) {
    return status;
  }
  const std::size_t lengthSize = message.size() > kMaxShort ? 3 : 1;
  std::vector<std::uint8_t> target(area.begin(), area.end());
  std::copy(bytes.begin(), bytes.end(),
            target.begin() + static_cast<std::ptrdiff_t>(tlv.tlvOffset));
  std::vector<std::uint8_t> staged = target;
  std::fill_n(staged.begin() + static_cast<std::ptrdiff_t>(tlv.tlvOffset + 1), lengthSize, 0);
  if (lengthSize == 3) staged[tlv.tlvOffset + 1] = 0xFF;

  const std::size_t firstLength = tlv.tlvOffset / unitSize;
  const std::size_t lastLength = (tlv.tlvOffset + lengthSize) / unitSize;
  for (std::size_t u = firstLength; u <= lastLength; ++u) {
    if (Differs(staged, area, u, unitSize)) Add(writes, staged, u, unitSize);
  }
  for (std::size_t u = 0; u < area.size() / unitSize; ++u) {
    if (u >= firstLength && u <= lastLength) continue;
    if (Differs(target, area, u, unitSize)) Add(writes, target, u, unitSize);
  }
  for (std::size_t u = firstLength; u <= lastLength; ++u) {
    if (Differs(target, staged, u, unitSize)) Add(writes, target, u, unitSize);
  }
  return 0;
}

std::size_t Capacity(std::size_t areaSize) {
  const std::size_t shortForm =
      areaSize < kShortHeader ? 0 : std::min(areaSize - kShortHeader, kMaxShort);
  if (areaSize < kLongHeader || areaSize - kLongHeader <= kMaxShort) return shortForm;
  return std::min(areaSize - kLongHeader, kMaxLong);
}

}  // namespace tlvwrite
