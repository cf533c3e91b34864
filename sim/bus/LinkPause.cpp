// SPDX-License-Identifier: MIT
#include "sim/bus/LinkPause.h"

#include <poll.h>

#include <cerrno>
#include <ctime>

namespace norvexsim {

bool pauseLink(int fd, unsigned ms) {
  return pauseLink(fd, std::chrono::milliseconds(ms));
}

bool pauseLink(int fd, std::chrono::microseconds duration) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + duration;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - Clock::now());
    if (left.count() <= 0) return true;
    const timespec wait{static_cast<time_t>(left.count() / 1000000000),
                        static_cast<long>(left.count() % 1000000000)};
    // Only the end of the link is watched: a request the host sends meanwhile waits its turn.
    pollfd link{fd, POLLRDHUP, 0};
    const int ready = ::ppoll(&link, 1, &wait, nullptr);
    if (ready < 0 && errno == EINTR) continue;
    if (ready != 0) return false;
  }
}

}  // namespace norvexsim
