// SPDX-License-Identifier: MIT
// Which bytes of a type 2 tag's data area carry TLVs, once the lock and memory control TLVs have
// named the ones they reserve.

#include "ndef/Type2DataMap.h"

#include <array>

#include "ndef/Type2Tlv.h"
#include "status/StatusCodes.h"

namespace type2 {

namespace {

constexpr std::size_t kAreaStart = first_data_page * page_size;  // tag memory offset of the area
constexpr std::size_t kControlLength = 3;
constexpr std::uint8_t kLongLength = 0xFF;

// Steps through the data area over the bytes not reserved so far.
class Walk {
 public:
  Walk(std::span<const std::uint8_t> area, std::vector<bool>& reserved)
      : area_(area), reserved_(reserved) {}

  bool Next(std::uint8_t& byte) {
    while (at_ < area_.size() && reserved_[at_]) ++at_;
    if (at_ >= area_.size()) return false;
    byte = area_[at_++];
    return true;
  }

  // A TLV length: one byte, or FF and two bytes big-endian.
  bool Length(std::size_t& length) {
    std::uint8_t first = 0, high = 0, low = 0;
    if (!Next(first)) return false;
    if (first != kLongLength) {
      length = first;
      return true;
    }
    if (!Next(high) || !Next(low)) return false;
    length = std::size_t{high} << 8 | low;
    return true;
  }

  // Marks the area a control TLV names; bytes the walk has used already cannot be reserved.
  long Reserve(std::uint8_t type, const std::array<std::uint8_t, kControlLength>& value) {
    const std::size_t pageBytes = std::size_t{1} << (value[2] & 0x0F);
    const std::size_t position = (std::size_t{value[0]} >> 4) * pageBytes + (value[0] & 0x0F);
    std::size_t size = value[1] == 0 ? 256 : value[1];
    if (type == tlv::lock_control) size = (size + 7) / 8;  // lock bits, whole bytes
    for (std::size_t i = position; i < position + size; ++i) {
      if (i < kAreaStart || i - kAreaStart >= area_.size()) continue;
      const std::size_t offset = i - kAreaStart;
      if (offset < at_ && !reserved_[offset]) return ndef_bad_control_tlv;
      reserved_[offset] = true;
    }
    return 0;
  }

 private:
  std::span<const std::uint8_t> area_;
  std::vector<bool>& reserved_;
  std::size_t at_ = 0;
};

// Reads one TLV after its type byte: a control TLV's area is reserved, any other value skipped.
long Step(Walk& walk, std::uint8_t type) {
  std::size_t length = 0;
  if (!walk.Length(length)) return ndef_truncated;
  std::array<std::uint8_t, kControlLength> value{};
  for (std::size_t i = 0; i < length; ++i) {
    std::uint8_t byte = 0;
    if (!walk.Next(byte)) return ndef_truncated;
    if (i < value.size()) value[i] = byte;
  }
  if (type != tlv::lock_control && type != tlv::memory_control) return 0;
  if (length != kControlLength) return ndef_bad_control_tlv;
  return walk.Reserve(type, value);
}

}  // namespace

long UsableBytes(std::span<const std::uint8_t> area, std::vector<std::size_t>& usable) {
  usable.clear();
  std::vector<bool> reserved(area.size(), false);
  Walk walk(area, reserved);
  std::uint8_t type = 0;
  while (walk.Next(type) && type != tlv::ndef && type != tlv::terminator) {
    if (type == tlv::null) continue;
    if (const long status = Step(walk, type)) return status;
  }
  for (std::size_t i = 0; i < area.size(); ++i) {
    if (!reserved[i]) usable.push_back(i);
  }
  return 0;
}

std::vector<std::uint8_t> Gather(std::span<const std::uint8_t> area,
                                 std::span<const std::size_t> usable) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(usable.size());
  for (const std::size_t offset : usable) bytes.push_back(area[offset]);
  return bytes;
}

}  // namespace type2
