// SPDX-License-Identifier: MIT
// The order of unit writes that replaces an NDEF TLV without ever leaving a broken message.

#include "ndef/TlvWritePlan.h"

#include <algorithm>
#include <numeric>

#include "ndef/Type2DataMap.h"
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
  std::vector<std::size_t> every(area.size());
  std::iota(every.begin(), every.end(), std::size_t{0});
  return Plan(area, every, message, unitSize, writes);
}

long Plan(std::span<const std::uint8_t> area, std::span<const std::size_t> usable,
          std::span<const std::uint8_t> message, std::size_t unitSize,
          std::vector<UnitWrite>& writes) {
  writes.clear();
  const std::vector<std::uint8_t> tlvs = type2::Gather(area, usable);
  type2::NdefTlv tlv;
  const long found = type2::FindNdefTlv(tlvs, tlv);
  if (found != 0 && found != ndef_no_tlv) return found;
  std::vector<std::uint8_t> bytes;
  if (const long status = type2::NdefTlvBytes(message, tlv.tlvOffset, tlvs.size(), bytes)) {
    return status;
  }
  const std::size_t lengthSize = message.size() > kMaxShort ? 3 : 1;
  std::vector<std::uint8_t> target(area.begin(), area.end()), staged;
  for (std::size_t i = 0; i < bytes.size(); ++i) target[usable[tlv.tlvOffset + i]] = bytes[i];
  staged = target;
  for (std::size_t i = 1; i <= lengthSize; ++i) staged[usable[tlv.tlvOffset + i]] = 0;
  if (lengthSize == 3) staged[usable[tlv.tlvOffset + 1]] = 0xFF;

  const std::size_t firstLength = usable[tlv.tlvOffset] / unitSize;
  const std::size_t lastLength = usable[tlv.tlvOffset + lengthSize] / unitSize;
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
