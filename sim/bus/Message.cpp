#include "sim/bus/Message.h"

#include <sys/socket.h>

#include <algorithm>
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
  uint8_t header[bus::kHeaderSize];
  if (!readExactly(fd, header, sizeof header)) return std::nullopt;
  BusMessage message;
  message.type = header[0];
  message.payload.resize(bus::PayloadLength(header));
  if (!readExactly(fd, message.payload.data(), message.payload.size())) return std::nullopt;
  return message;
}

bool writeMessage(int fd, uint8_t type, const std::vector<uint8_t>& payload) {
  if (payload.size() > bus::kMaxPayload) return false;
  std::vector<uint8_t> bytes(bus::kHeaderSize + payload.size());
  bus::EncodeHeader(type, payload.size(), bytes.data());
  std::copy(payload.begin(), payload.end(), bytes.begin() + bus::kHeaderSize);
  return writeAll(fd, bytes.data(), bytes.size());
}

}  // namespace norvexsim
