// SPDX-License-Identifier: MIT
#include "sim/device/Packet.h"

#include <algorithm>

namespace norvexsim {

std::vector<Packet> splitIntoPackets(std::span<const uint8_t> frame) {
  std::vector<Packet> packets;
  packets.reserve((frame.size() + kPacketSize - 1) / kPacketSize);
  for (size_t offset = 0; offset < frame.size(); offset += kPacketSize) {
    Packet packet{};
    const size_t chunk = std::min(kPacketSize, frame.size() - offset);
    std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(offset), chunk, packet.begin());
    packets.push_back(packet);
  }
  return packets;
}

}  // namespace norvexsim
