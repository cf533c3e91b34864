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

constexpr uint8_t kExchangeByteStream = 0x03;  // reader instruction: one frame to the card
constexpr uint8_t kCrcOnBothWays = 0x1E;       // the reader adds CRC_A and checks the answer's
constexpr uint8_t kGetVersion = 0x60;
constexpr std::size_t kVersionLength = 8;
constexpr std::size_t kPageSize = 4;

struct VersionRow {
  uint8_t productType, storageSize;
  const char* kind;
  const char* name;
};
constexpr std::array kVersions = {
    VersionRow{0x03, 0x0B, "ultralight-ev1", "Mifare Ultralight EV1 (MF0UL11, 48 bytes)"},
    VersionRow{0x03, 0x0E, "ultralight-ev1", "Mifare Ultralight EV1 (MF0UL21, 128 bytes)"},
    VersionRow{0x04, 0x0B, "ntag210", "NTAG210"},
    VersionRow{0x04, 0x0E, "ntag212", "NTAG212"},
    VersionRow{0x04, 0x0F, "ntag213", "NTAG213"},
    VersionRow{0x04, 0x11, "ntag215", "NTAG215"},
    VersionRow{0x04, 0x13, "ntag216", "NTAG216"},
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

bool getVersion(void* session, std::array<uint8_t, kVersionLength>& version) {
  const uint8_t params[] = {kCrcOnBothWays, 1, 0, kGetVersion};  // flags, length (LE), frame
  auto length = static_cast<uint32_t>(version.size());
  return SendDirectCommand(session, kExchangeByteStream, params, sizeof params, version.data(),
                           &length) == NORVEX_OK &&
         length == version.size();
}

}  // namespace

TagModel identifyTag(void* session, const std::vector<uint8_t>& memory) {
  const std::size_t pages = memory.size() / kPageSize;
  std::array<uint8_t, kVersionLength> version{};
  if (getVersion(session, version)) {
    const std::string basis = "GET_VERSION " + hex::encode(version.data(), version.size());
    for (const VersionRow& row : kVersions)
      if (row.productType == version[2] && row.storageSize == version[6])
        return {row.kind, row.name, basis};
    return {"type2", "Type 2 tag", basis};
  }
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
