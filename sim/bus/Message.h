#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvexsim {

// One message of the virtual USB bus: [u8 type][u16 length LE][payload].
struct BusMessage {
  char type = 0;
  std::vector<uint8_t> payload;
};

namespace bus {
inline constexpr char kList = 'L';
inline constexpr char kOpen = 'O';
inline constexpr char kPacket = 'P';
inline constexpr char kAbort = 'A';
inline constexpr char kControl = 'C';

// Results of an open request.
inline constexpr uint8_t kOpened = 0;
inline constexpr uint8_t kNoSuchDevice = 1;
inline constexpr uint8_t kAlreadyOpen = 2;
}  // namespace bus

// Reads one whole message; std::nullopt when the peer closed the connection or it failed.
std::optional<BusMessage> readMessage(int fd);

// Writes one whole message; false when the connection is gone. Payloads above 65535 bytes are
// refused (false) since the length field cannot carry them.
bool writeMessage(int fd, char type, const std::vector<uint8_t>& payload);

}  // namespace norvexsim
