// SPDX-License-Identifier: MIT
#pragma once
// The host end of one connection to a bus peer, as the simulator's bus fuzz target drives it:
// writes a whole byte stream while reading what comes back, until the peer closes, and notices a
// peer that goes quiet (neither answers nor closes) for longer than a limit.

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace fuzzhost {

struct HostStreamResult {
  std::vector<uint8_t> received;
  bool stalled = false;  // the peer stayed quiet past the limit, or the wait itself failed
};

// poll() until the deadline. A signal cuts poll() short with EINTR (libFuzzer's time-out watchdog
// sends SIGALRM every few seconds); that is no event from the peer, so the wait goes on for the
// time left. Returns what poll() last returned.
inline int pollUntil(pollfd& watched, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int ready =
        ::poll(&watched, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30)));
    if (ready >= 0 || errno != EINTR) return ready;
  }
}

// Writes the whole stream, then shuts the writing side so the peer sees its end, reading all the
// while until the peer closes. Each wait for the peer lasts at most quietLimit.
inline HostStreamResult converse(int fd, std::span<const uint8_t> stream,
                                 std::chrono::milliseconds quietLimit) {
  HostStreamResult result;
  size_t sent = 0;
  bool writing = !stream.empty();
  if (!writing) ::shutdown(fd, SHUT_WR);
  for (;;) {
    pollfd watched{fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
    if (pollUntil(watched, std::chrono::steady_clock::now() + quietLimit) <= 0) {
      result.stalled = true;
      return result;
    }
    if (watched.revents & (POLLIN | POLLHUP | POLLERR)) {
      uint8_t chunk[4096];
      const ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (got > 0) {
        result.received.insert(result.received.end(), chunk, chunk + got);
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        return result;  // closed or reset by the peer
      }
    }
    if (writing && (watched.revents & POLLOUT)) {
      const ssize_t put =
          ::send(fd, stream.data() + sent, stream.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (put > 0) sent += static_cast<size_t>(put);
      const bool failed = put < 0 && errno != EAGAIN && errno != EINTR;
      if (sent == stream.size() || failed) {
        ::shutdown(fd, SHUT_WR);
        writing = false;
      }
    }
  }
}

}  // namespace fuzzhost
