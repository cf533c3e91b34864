// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lib/transport/usb/VirtualBusProtocol.h"

namespace norvexsim {

// The message types, open results and layouts of the virtual USB bus, shared with the library.
namespace bus = ::virtualbus;

// One message of the virtual USB bus: [u8 type][u16 length LE][payload].
struct BusMessage {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
};

// How long readMessage waits. A negative firstByte waits for the next message for ever; once its
// first byte is in, the whole message must arrive within `whole`.
struct ReadTimeouts {
  std::chrono::milliseconds firstByte{-1};
  std::chrono::milliseconds whole{5000};
};

// Reads one whole message; std::nullopt when the peer closed the connection, it failed, or a
// time-out passed.
std::optional<BusMessage> readMessage(int fd, ReadTimeouts timeouts = {});

// Writes one whole message; false when the connection is gone (or a send time-out set on the
// socket passed). Payloads above 65535 bytes are refused (false) since the length field cannot
// carry them.
bool writeMessage(int fd, uint8_t type, const std::vector<uint8_t>& payload);

}  // namespace norvexsim
