#include "transport/usb/VirtualBusConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "status/StatusCodes.h"

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

Clock::time_point DeadlineAfter(unsigned timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 1u));
}

bool IsDisconnect(int error) {
  return error == EPIPE || error == ECONNRESET || error == ENOTCONN;
}

}  // namespace

long VirtualBusConnection::Connect(const std::string& path,
                                   std::unique_ptr<VirtualBusConnection>& connection) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return ENAMETOOLONG;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  auto opened = std::make_unique<VirtualBusConnection>(fd);
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (result != 0 && errno == EINTR);
  if (result != 0) return errno;
  connection = std::move(opened);
  return 0;
}

VirtualBusConnection::~VirtualBusConnection() {
  if (fd >= 0) ::close(fd);
}

long VirtualBusConnection::Lost() {
  if (fd >= 0) ::close(fd);
  fd = -1;
  pending.clear();
  return device_notfound;
}

long VirtualBusConnection::Send(uint8_t type, const uint8_t* payload, size_t length,
                                unsigned timeoutMs) {
  if (fd < 0) return device_notfound;
  if (length > kMaxPayload) return EMSGSIZE;
  std::vector<uint8_t> message(kHeaderSize + length);
  message[0] = type;
  message[1] = static_cast<uint8_t>(length);
  message[2] = static_cast<uint8_t>(length >> 8);
  if (length > 0) std::memcpy(message.data() + kHeaderSize, payload, length);

  const Clock::time_point deadline = DeadlineAfter(timeoutMs);
  size_t sent = 0;
  // The socket buffer almost always has room for a packet, so try at once and wait only when full.
  while (sent < message.size()) {
    const ssize_t n =
        ::send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return IsDisconnect(errno) ? Lost() : errno;
    pollfd waiting{fd, POLLOUT, 0};
    const int ready = ::poll(&waiting, 1, RemainingMs(deadline));
    if (ready < 0 && errno != EINTR) return errno;
    if (ready == 0) return no_reader_resp;
  }
  return 0;
}

long VirtualBusConnection::Fill(bool wait, Clock::time_point deadline) {
  for (;;) {
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, wait ? RemainingMs(deadline) : 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return errno;
    if (ready == 0) return wait ? no_reader_resp : 0;
    uint8_t chunk[4096];
    const ssize_t n = ::recv(fd, chunk, sizeof(chunk), MSG_DONTWAIT);
    if (n == 0) return Lost();
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return IsDisconnect(errno) ? Lost() : errno;
    }
    pending.insert(pending.end(), chunk, chunk + n);
    return 0;
  }
}

bool VirtualBusConnection::TakeMessage(Message& message) {
  if (pending.size() < kHeaderSize) return false;
  const size_t length = pending[1] | (static_cast<size_t>(pending[2]) << 8);
  if (pending.size() < kHeaderSize + length) return false;
  message.type = pending[0];
  message.payload.assign(pending.begin() + kHeaderSize,
                         pending.begin() + static_cast<ptrdiff_t>(kHeaderSize + length));
  pending.erase(pending.begin(), pending.begin() + static_cast<ptrdiff_t>(kHeaderSize + length));
  return true;
}

long VirtualBusConnection::Receive(Message& message, unsigned timeoutMs) {
  const Clock::time_point deadline = DeadlineAfter(timeoutMs);
  while (!TakeMessage(message)) {
    if (fd < 0) return device_notfound;
    const long filled = Fill(true, deadline);
    if (filled != 0) return filled;
  }
  return 0;
}

long VirtualBusConnection::DiscardArrived() {
  if (fd < 0) return device_notfound;
  for (;;) {
    const size_t before = pending.size();
    const long filled = Fill(false, Clock::now());
    if (filled != 0) return filled;
    if (pending.size() == before) break;
  }
  Message dropped;
  while (TakeMessage(dropped)) {
  }
  return 0;
}
