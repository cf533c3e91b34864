// SPDX-License-Identifier: MIT
#include "sim/bus/LinkPause.h"

#include <poll.h>

#include <cerrno>
#include <chrono>

namespace norvexsim {

bool pauseLink(int fd, unsigned ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) return true;
    // Only the end of the link is watched: a request the host sends meanwhile waits its turn.
    pollfd link{fd, POLLRDHUP, 0};
    const int ready = ::poll(&link, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready != 0) return false;
  }
}

}  // namespace norvexsim
