// SPDX-License-Identifier: MIT
#include "transport/usb/LibusbTopology.h"

#include <algorithm>
#include <numeric>

std::vector<uint8_t> TopologyKey(uint8_t bus, const uint8_t* ports, int portCount,
                                 uint8_t address) {
  const int depth = ports != nullptr ? std::max(portCount, 0) : 0;
  std::vector<uint8_t> key;
  key.reserve(static_cast<size_t>(depth) + 2);
  key.push_back(bus);
  for (int i = 0; i < depth; ++i) key.push_back(ports[i]);
  key.push_back(address);
  return key;
}

std::vector<size_t> TopologyOrder(const std::vector<std::vector<uint8_t>>& keys) {
  std::vector<size_t> order(keys.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
  return order;
}
