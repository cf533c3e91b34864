// SPDX-License-Identifier: MIT
// Which Mifare Ultralight or NTAG chip a Type 2 tag is, and what says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvex::cli {

struct TagModel {
  std::string kind;   // "ntag213", "ultralight", ... ("type2" when unknown)
  std::string name;   // "NTAG213"
  std::string basis;  // what the model was read from, e.g. "GET_VERSION 0004040201000F03"
};

// The tag must be active (selected). Asks GET_VERSION (0x60) through the reader's raw frame
// exchange; a tag without it (a first Ultralight) answers NAK and goes idle. Then the capability
// container's size byte (page 3, byte 2) in memory, then the number of pages read, decide.
TagModel identifyTag(void* session, const std::vector<uint8_t>& memory);

}  // namespace norvex::cli
