// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ndef/Type2Tlv.h"

// Replacing the NDEF message of a tag's TLV area in an order that keeps the tag valid at every
// step: the units (pages, blocks) holding the NDEF TLV's type and length are written first with
// the length zero, then every other unit that changes, then the length units as they end up. A tag
// that leaves the field mid-write holds the old message or an empty one. The same walk serves
// every mapping whose NDEF message lives in TLVs (type 2 tags, Mifare Classic).
namespace tlvwrite {

struct UnitWrite {
  std::size_t unit;  // index of the unit in the area
  std::vector<std::uint8_t> bytes;
};

// The unit writes that put message into area (a whole number of units) where its NDEF TLV
// stands, or where a terminator or the area's end leaves room for one. ndef_truncated for a TLV
// length past the area, ndef_too_large when the message does not fit; nothing is planned then.
long Plan(std::span<const std::uint8_t> area, std::span<const std::uint8_t> message,
          std::size_t unitSize, std::vector<UnitWrite>& writes);

// The same on an area whose TLVs run over the bytes at offsets usable only (in order; a type 2
// tag's bytes left after its reserved areas, type2::UsableBytes): every other byte keeps its
// value in the units written, and a unit holding nothing but such bytes is never written.
long Plan(std::span<const std::uint8_t> area, std::span<const std::size_t> usable,
          std::span<const std::uint8_t> message, std::size_t unitSize,
          std::vector<UnitWrite>& writes);

// The largest message an area of areaSize bytes holds in one NDEF TLV.
std::size_t Capacity(std::size_t areaSize);

}  // namespace tlvwrite
