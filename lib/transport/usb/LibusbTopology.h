// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A device's place in the USB topology as a sort key: the bus number, the port numbers down the
// hubs from the root, then the device address. portCount is what libusb_get_port_numbers
// returned (negative on failure: no ports). Devices compare by these keys element by element.
std::vector<uint8_t> TopologyKey(uint8_t bus, const uint8_t* ports, int portCount, uint8_t address);

// The order in which to list devices given their keys: the indices into keys, sorted by key.
// Devices with equal keys keep the order they came in.
std::vector<size_t> TopologyOrder(const std::vector<std::vector<uint8_t>>& keys);
