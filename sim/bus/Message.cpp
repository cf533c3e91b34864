#include "sim/bus/Message.h"

#include <sys/socket.h>

#include <cerrno>

namespace norvexsim {

namespace {

bool readExactly(int fd, uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::recv(fd, data + done, size - done, 0);
    if (got > 0) {
      done += static_cast<size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t sent = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (sent > 0) {
      done += static_cast<size_t>(sent);
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<BusMessage> readMessage(int fd) {
  uint8_t header[3];
  if (!readExactly(fd, header, sizeof header)) return std::nullopt;
  BusMessage message;
  message.type = static_cast<char>(header[0]);
  message.payload.resize(static_cast<size_t>(header[1] | (header[2] << 8)));
  if (!readExactly(fd, message.payload.data(), message.payload.size())) return std::nullopt;
  return message;
}

bool writeMessage(int fd, char type, const std::vector<uint8_t>& payload) {
  if (payload.size() > 0xFFFF) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(payload.size() + 3);
  bytes.push_back(static_cast<uint8_t>(type));
  bytes.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
  bytes.push_back(static_cast<uint8_t>(payload.size() >> 8));
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return writeAll(fd, bytes.data(), bytes.size());
}

}  // namespace norvexsim
