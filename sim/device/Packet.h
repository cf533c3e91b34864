// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace norvexsim {

// One USB packet of the reader's two bulk pipes.
inline constexpr size_t kPacketSize = 32;
using Packet = std::array<uint8_t, kPacketSize>;

// Splits a frame into IN packets, the unused tail of the last one zero-filled.
std::vector<Packet> splitIntoPackets(std::span<const uint8_t> frame);

}  // namespace norvexsim
