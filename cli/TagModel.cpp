// SPDX-License-Identifier: MIT
// GET_VERSION answers 00, vendor (04: NXP), product type (03: Ultralight, 04: NTAG), subtype,
// major and minor version, storage size and protocol type (03: ISO 14443-3). The capability
// container of an NFC Forum Type 2 tag holds the data area's size divided by 8 in its third byte.
#include "cli/TagModel.h"

#include <array>

#include "dump/Hex.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr std::size_t kPageSize = 4;

// The chips the library identifies by GET_VERSION.
struct ChipRow {
  uint8_t chip;  // MIFU_CHIP_*
  const char* kind;
  const char* name;
  ChipLayout layout;
};
constexpr std::array kChips = {
    ChipRow{MIFU_CHIP_UL_EV1_MF0UL11,
            "ultralight-ev1",
            "Mifare Ultralight EV1 (MF0UL11, 48 bytes)",
            {20, 0x10}},
    ChipRow{MIFU_CHIP_UL_EV1_MF0UL21,
            "ultralight-ev1",
            "Mifare Ultralight EV1 (MF0UL21, 128 bytes)",
            {41, 0x25}},
    ChipRow{MIFU_CHIP_NTAG210, "ntag210", "NTAG210", {20, 0x10}},
    ChipRow{MIFU_CHIP_NTAG212, "ntag212", "NTAG212", {41, 0x25}},
    ChipRow{MIFU_CHIP_NTAG213, "ntag213", "NTAG213", {45, 0x29}},
    ChipRow{MIFU_CHIP_NTAG215, "ntag215", "NTAG215", {135, 0x83}},
    ChipRow{MIFU_CHIP_NTAG216, "ntag216", "NTAG216", {231, 0xE3}},
    // 48 pages, the last four the write-only 3DES key.
    ChipRow{MIFU_CHIP_ULTRALIGHT_C, "ultralight-c", "Mifare Ultralight C", {44, 0}},
};

// The capability container's size byte with the page count that tells Ultralight C (48 pages)
// from NTAG213 (45 pages), both announcing 144 bytes.
struct ContainerRow {
  uint8_t sizeByte;
  std::size_t pages;  // 0: any
  const char* kind;
  const char* name;
};
constexpr std::array kContainers = {
    ContainerRow{0x06, 0, "ultralight", "Mifare Ultralight"},
    ContainerRow{0x12, 48, "ultralight-c", "Mifare Ultralight C"},
    ContainerRow{0x12, 0, "ntag213", "NTAG213"},
    ContainerRow{0x3E, 0, "ntag215", "NTAG215"},
    ContainerRow{0x6D, 0, "ntag216", "NTAG216"},
};

}  // namespace

ChipVersion askVersion(void* session) {
  ChipVersion answer;
  if (MifU_GetVersion(session, answer.version.data(), &answer.chip, &answer.userBytes) != NORVEX_OK)
    answer = ChipVersion{};
  return answer;
}

std::optional<ChipLayout> chipLayout(uint8_t chip) {
  for (const ChipRow& row : kChips)
    if (row.chip == chip) return row.layout;
  return std::nullopt;
}

TagModel identifyTag(const ChipVersion& version, const std::vector<uint8_t>& memory) {
  const std::size_t pages = memory.size() / kPageSize;
  if (version.answered()) {
    const std::string basis =
        "GET_VERSION " + hex::encode(version.version.data(), version.version.size());
    for (const ChipRow& row : kChips)
      if (row.chip == version.chip) return {row.kind, row.name, basis};
    return {"type2", "Type 2 tag", basis};
  }
  if (version.chip == MIFU_CHIP_ULTRALIGHT_C)
    return {"ultralight-c", "Mifare Ultralight C", "3DES authentication answered (no GET_VERSION)"};
  constexpr std::size_t kContainerByte = 3 * kPageSize + 2;
  if (memory.size() > kContainerByte && memory[kContainerByte - 2] == 0xE1) {
    const uint8_t size = memory[kContainerByte];
    for (const ContainerRow& row : kContainers)
      if (row.sizeByte == size && (row.pages == 0 || row.pages == pages))
        return {row.kind, row.name,
                "capability container: size byte " + hex::encode(&size, 1) +
                    " in page 3 (no GET_VERSION)"};
  }
  if (pages == 16)
    return {"ultralight", "Mifare Ultralight",
            "16 pages (no GET_VERSION, no capability container)"};
  return {"type2", "Type 2 tag",
          std::to_string(pages) + " pages (no GET_VERSION, no capability container)"};
}

}  // namespace norvex::cli
