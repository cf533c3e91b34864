// SPDX-License-Identifier: MIT
#pragma once
// The CRC32 of DESFire EV1 secure messaging: the reflected CRC-32 (polynomial 0xEDB88320,
// initial value 0xFFFFFFFF) without the final complement, sent least significant byte first.

#include <array>
#include <cstdint>
#include <span>

namespace norvexsim::desfire {

std::array<uint8_t, 4> crc32Of(std::span<const uint8_t> bytes);

}  // namespace norvexsim::desfire
