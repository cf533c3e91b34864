// SPDX-License-Identifier: MIT
#pragma once
// The CRC32 of DESFire EV1 cryptograms: the reflected CRC-32 of IEEE 802.3 (polynomial EDB88320,
// preset FFFFFFFF) without its final inversion, appended least significant byte first.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace desfire {

constexpr uint32_t kCrc32Preset = 0xFFFFFFFF;
constexpr size_t kCrc32Length = 4;

// Continues crc over len bytes; start from kCrc32Preset.
uint32_t Crc32(const uint8_t* data, size_t len, uint32_t crc = kCrc32Preset);
void AppendCrc32(std::vector<uint8_t>& bytes, uint32_t crc);

}  // namespace desfire
