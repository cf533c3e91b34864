// SPDX-License-Identifier: MIT
#include "sim/bus/Message.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace norvexsim {

namespace {

using Clock = std::chrono::steady_clock;

// Waits until fd is readable; false when the deadline passed first (nullopt: no deadline).
bool waitReadable(int fd, std::optional<Clock::time_point> deadline) {
  for (;;) {
    int wait = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0) return false;
      wait = static_cast<int>(std::min<long long>(left.count(), 60000));
    }
    pollfd watched{fd, POLLIN, 0};
    const int ready = ::poll(&watched, 1, wait);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool readExactly(int fd, uint8_t* data, size_t size, std::optional<Clock::time_point> deadline) {
  size_t done = 0;
  while (done < size) {
    if (!waitReadable(fd, deadline)) return false;
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

// The first byte may take as long as the host likes to come when no firstByte time-out is
// given; a message begun must then be completed in time, so a stalled host cannot hold the
// reading thread.
std::optional<BusMessage> readMessage(int fd, ReadTimeouts timeouts) {
  uint8_t header[bus::kHeaderSize];
  std::optional<Clock::time_point> firstDeadline;
  if (timeouts.firstByte.count() >= 0) firstDeadline = Clock::now() + timeouts.firstByte;
  if (!readExactly(fd, header, 1, firstDeadline)) return std::nullopt;
  const auto deadline = Clock::now() + timeouts.whole;
  if (!readExactly(fd, header + 1, sizeof header - 1, deadline)) return std::nullopt;
  BusMessage message;
  message.type = header[0];
  message.payload.resize(bus::PayloadLength(header));
  if (!readExactly(fd, message.payload.data(), message.payload.size(), deadline)) {
    return std::nullopt;
  }
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
