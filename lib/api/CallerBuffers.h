// SPDX-License-Identifier: MIT
#pragma once
// Results copied into caller-owned buffers that come with an in/out length: on entry the buffer's
// size, on return the bytes written. All parts are copied, or, when one does not fit, only each
// part's size is stored and 8047 returned. A null length, or a null buffer announcing a size, gives
// 8031 before anything is written.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>

#include "status/StatusCodes.h"

struct CallerBuffer {
  uint8_t* buffer;
  uint32_t* length;
};

struct ResultPart {
  CallerBuffer out;
  std::span<const std::uint8_t> bytes;
};

inline std::span<const std::uint8_t> BytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline long CopyToCaller(std::initializer_list<ResultPart> parts) {
  bool fits = true;
  for (const auto& part : parts) {
    if (part.out.length == nullptr) return wrong_parameter_value;
    if (part.out.buffer == nullptr && *part.out.length != 0) return wrong_parameter_value;
    fits = fits && part.bytes.size() <= *part.out.length;
  }
  for (const auto& part : parts) {
    if (fits && !part.bytes.empty()) {
      std::memcpy(part.out.buffer, part.bytes.data(), part.bytes.size());
    }
    *part.out.length = static_cast<uint32_t>(part.bytes.size());
  }
  return fits ? 0 : wrong_buffer_size;
}
