#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport/usb/VirtualBusProtocol.h"

namespace norvexsim {

// The message types, open results and layouts of the virtual USB bus, shared with the library.
namespace bus = ::virtualbus;

// One message of the virtual USB bus: [u8 type][u16 length LE][payload].
struct BusMessage {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
};

// Reads one whole message; std::nullopt when the peer closed the connection or it failed.
std::optional<BusMessage> readMessage(int fd);

// Writes one whole message; false when the connection is gone. Payloads above 65535 bytes are
// refused (false) since the length field cannot carry them.
bool writeMessage(int fd, uint8_t type, const std::vector<uint8_t>& payload);

}  // namespace norvexsim
