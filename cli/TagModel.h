// SPDX-License-Identifier: MIT
// Which Mifare Ultralight or NTAG chip a Type 2 tag is, what says so, and how its pages are laid
// out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "norvexapi.h"

namespace norvex::cli {

struct TagModel {
  std::string kind;   // "ntag213", "ultralight", ... ("type2" when unknown)
  std::string name;   // "NTAG213"
  std::string basis;  // what the model was read from, e.g. "GET_VERSION 0004040201000F03"
};

// The tag's answer to GET_VERSION as the library reads it: chip MIFU_CHIP_ULTRALIGHT (or
// MIFU_CHIP_ULTRALIGHT_C, told by its behaviour) when the tag does not answer.
struct ChipVersion {
  uint8_t chip = MIFU_CHIP_ULTRALIGHT;
  uint16_t userBytes = 0;
  std::array<uint8_t, 8> version{};
  bool answered() const { return chip != MIFU_CHIP_ULTRALIGHT && chip != MIFU_CHIP_ULTRALIGHT_C; }
};

// The tag must be active (selected). Asks GET_VERSION through the library; a tag without it (an
// Ultralight, an Ultralight C) answers NAK and is left idle: activate it again afterwards.
ChipVersion askVersion(void* session);

// The pages of a chip the version names: how many can be read (the Ultralight C's 3DES key pages
// at the end are write-only and not counted) and the first configuration page (CFG0 with AUTH0,
// then CFG1 with ACCESS, PWD, PACK; 0 for a chip without them). Nothing for the first Ultralight,
// whose size only reading tells.
struct ChipLayout {
  unsigned readablePages;
  unsigned configPage;
};
std::optional<ChipLayout> chipLayout(uint8_t chip);

// The model from the version, else the capability container's size byte (page 3, byte 2) in
// memory, else the number of pages read.
TagModel identifyTag(const ChipVersion& version, const std::vector<uint8_t>& memory);

}  // namespace norvex::cli
