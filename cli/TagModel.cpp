// SPDX-License-Identifier: MIT
// GET_VERSION answers 00, vendor (04: NXP), product type (03: Ultralight, 04: NTAG), subtype,
// major and minor version, storage size and protocol type (03: ISO 14443-3). The capability
// container of an NFC Forum Type 2 tag holds the data area's size divided by 8 in its third byte.
#include "cli/TagModel.h"

#include <array>

#include "dump/Hex.h"
#include "dump/Type2Layout.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr std::size_t kPageSize = 4;

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

namespace {
// The chips the library identifies, with their pages, as the explorer knows them too.
const dump::Type2Chip* knownChip(uint8_t chip) {
  const dump::Type2Chip& row = dump::type2Chip(chip);
  return row.chip == chip && chip != MIFU_CHIP_ULTRALIGHT ? &row : nullptr;
}
}  // namespace

std::optional<ChipLayout> chipLayout(uint8_t chip) {
  if (const dump::Type2Chip* row = knownChip(chip))
    return ChipLayout{row->readablePages, row->configPage};
  return std::nullopt;
}

TagModel identifyTag(const ChipVersion& version, const std::vector<uint8_t>& memory) {
  const std::size_t pages = memory.size() / kPageSize;
  if (version.answered()) {
    const std::string basis =
        "GET_VERSION " + hex::encode(version.version.data(), version.version.size());
    if (const dump::Type2Chip* row = knownChip(version.chip)) return {row->kind, row->name, basis};
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
