// SPDX-License-Identifier: MIT
#include "transport/usb/VirtualBusConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "status/StatusCodes.h"
#include "transport/usb/VirtualBusProtocol.h"

namespace {

bool IsDisconnect(int error) {
  return error == EPIPE || error == ECONNRESET || error == ENOTCONN;
}

}  // namespace

int VirtualBusConnection::Deadline::RemainingMs() {
  const Clock::time_point now = Clock::now();
  if (!end_) end_ = now + std::chrono::milliseconds(timeoutMs_);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*end_ - now).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

long VirtualBusConnection::Connect(const std::string& path, unsigned timeoutMs,
                                   std::unique_ptr<VirtualBusConnection>& connection) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return ENAMETOOLONG;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  auto opened = std::make_unique<VirtualBusConnection>(fd);
  // A Unix-domain connect waits while the listener's backlog is full, for as long as the send
  // time-out allows; a simulator that has stopped accepting would otherwise hold it for ever.
  const unsigned ms = std::max(timeoutMs, 1u);
  const timeval limit{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
  if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) return errno;
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (result != 0 && errno == EINTR);
  if (result != 0) return (errno == EAGAIN || errno == EINPROGRESS) ? no_reader_resp : errno;
  connection = std::move(opened);
  return 0;
}

VirtualBusConnection::VirtualBusConnection(int connectedFd)
    : fd(connectedFd),
      incoming(std::make_unique_for_overwrite<uint8_t[]>(virtualbus::kMaxMessageSize)) {}

VirtualBusConnection::~VirtualBusConnection() {
  if (fd >= 0) ::close(fd);
}

long VirtualBusConnection::Lost() {
  if (fd >= 0) ::close(fd);
  fd = -1;
  begin = end = 0;
  return device_notfound;
}

void VirtualBusConnection::CloseAndAwaitPeer(unsigned timeoutMs) {
  if (fd < 0) return;
  if (::shutdown(fd, SHUT_WR) == 0) {
    Deadline deadline(timeoutMs);
    // Whatever still arrives is of no use; the end of the stream is what is awaited.
    while (Fill(&deadline) == 0) begin = end = 0;
  }
  Lost();
}

long VirtualBusConnection::Send(uint8_t type, const uint8_t* payload, size_t length,
                                unsigned timeoutMs) {
  if (fd < 0) return device_notfound;
  if (length > virtualbus::kMaxPayload) return EMSGSIZE;
  outgoing.resize(virtualbus::kHeaderSize + length);
  virtualbus::EncodeHeader(type, length, outgoing.data());
  if (length > 0) std::memcpy(outgoing.data() + virtualbus::kHeaderSize, payload, length);

  Deadline deadline(timeoutMs);
  size_t sent = 0;
  // The socket buffer almost always has room for a packet, so try at once and wait only when full.
  while (sent < outgoing.size()) {
    const ssize_t n =
        ::send(fd, outgoing.data() + sent, outgoing.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return IsDisconnect(errno) ? Lost() : errno;
    pollfd waiting{fd, POLLOUT, 0};
    const int ready = ::poll(&waiting, 1, deadline.RemainingMs());
    if (ready < 0 && errno != EINTR) return errno;
    if (ready == 0) return no_reader_resp;
  }
  return 0;
}

long VirtualBusConnection::Fill(Deadline* deadline) {
  // Only the start of a message can be left over: move it to the front to make room.
  if (begin > 0) {
    std::memmove(incoming.get(), incoming.get() + begin, end - begin);
    end -= begin;
    begin = 0;
  }
  for (;;) {
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, deadline != nullptr ? deadline->RemainingMs() : 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return errno;
    if (ready == 0) return deadline != nullptr ? no_reader_resp : 0;
    const ssize_t n =
        ::recv(fd, incoming.get() + end, virtualbus::kMaxMessageSize - end, MSG_DONTWAIT);
    if (n == 0) return Lost();
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return IsDisconnect(errno) ? Lost() : errno;
    }
    end += static_cast<size_t>(n);
    return 0;
  }
}

bool VirtualBusConnection::TakeMessage(MessageView& message) {
  const size_t held = end - begin;
  if (held < virtualbus::kHeaderSize) return false;
  const uint8_t* header = incoming.get() + begin;
  const size_t length = virtualbus::PayloadLength(header);
  if (held < virtualbus::kHeaderSize + length) return false;
  message.type = header[0];
  message.payload = header + virtualbus::kHeaderSize;
  message.length = length;
  begin += virtualbus::kHeaderSize + length;
  return true;
}

long VirtualBusConnection::Receive(MessageView& message, Deadline& deadline) {
  // The last message taken is no longer needed: an empty buffer starts over at the front.
  if (begin == end) begin = end = 0;
  while (!TakeMessage(message)) {
    if (fd < 0) return device_notfound;
    const long filled = Fill(&deadline);
    if (filled != 0) return filled;
  }
  return 0;
}

long VirtualBusConnection::Receive(MessageView& message, unsigned timeoutMs) {
  Deadline deadline(timeoutMs);
  return Receive(message, deadline);
}

long VirtualBusConnection::DiscardArrived() {
  if (fd < 0) return device_notfound;
  MessageView dropped;
  for (;;) {
    while (TakeMessage(dropped)) {
    }
    const size_t before = end - begin;
    const long filled = Fill(nullptr);
    if (filled != 0) return filled;
    if (end - begin == before) break;
  }
  return 0;
}
