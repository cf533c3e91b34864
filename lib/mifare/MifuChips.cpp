// SPDX-License-Identifier: MIT
#include "mifare/MifuChips.h"

#include "norvexapi.h"

namespace mifu {
namespace {

struct ChipRow {
  uint8_t productType;
  uint8_t storageSize;
  ChipFacts facts;
};

constexpr uint8_t kUltralightEv1 = 0x03, kNtag = 0x04;

constexpr std::array<ChipRow, 7> kChips{{
    {kUltralightEv1, 0x0B, {MIFU_CHIP_UL_EV1_MF0UL11, 48, 0x10}},
    {kUltralightEv1, 0x0E, {MIFU_CHIP_UL_EV1_MF0UL21, 128, 0x25}},
    {kNtag, 0x0B, {MIFU_CHIP_NTAG210, 48, 0x10}},
    {kNtag, 0x0E, {MIFU_CHIP_NTAG212, 128, 0x25}},
    {kNtag, 0x0F, {MIFU_CHIP_NTAG213, 144, 0x29}},
    {kNtag, 0x11, {MIFU_CHIP_NTAG215, 504, 0x83}},
    {kNtag, 0x13, {MIFU_CHIP_NTAG216, 888, 0xE3}},
}};

constexpr uint8_t kVendorCode = 0x04;

}  // namespace

ChipFacts IdentifyChip(const std::array<uint8_t, 8>& version) {
  const uint8_t storage = version[6];
  if (version[1] == kVendorCode) {
    for (const auto& row : kChips) {
      if (row.productType == version[2] && row.storageSize == storage) return row.facts;
    }
  }
  const unsigned exponent = storage >> 1;
  const uint16_t size = exponent < 16 ? static_cast<uint16_t>(1u << exponent) : 0;
  return {MIFU_CHIP_UNKNOWN, size, 0};
}

std::optional<ChipFacts> FactsOfChip(uint8_t chip) {
  if (chip == MIFU_CHIP_ULTRALIGHT) return ChipFacts{MIFU_CHIP_ULTRALIGHT, 48, 0};
  if (chip == MIFU_CHIP_ULTRALIGHT_C) return ChipFacts{MIFU_CHIP_ULTRALIGHT_C, 144, 0};
  for (const auto& row : kChips) {
    if (row.facts.chip == chip) return row.facts;
  }
  return std::nullopt;
}

}  // namespace mifu
