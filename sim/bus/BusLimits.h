// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>
#include <cstddef>

namespace norvexsim {

// What the virtual bus grants its hosts, so that careless or hostile ones cannot exhaust the
// simulator's threads and descriptors nor hold a connection thread for ever.
struct BusLimits {
  // Connections served at once; further ones are accepted and closed at once.
  size_t maxConnections = 64;
  // A message begun must be complete within this time, and a reply must find room in the
  // host's socket within it; otherwise the connection is cut. A connection that is idle between
  // messages stays open.
  std::chrono::milliseconds stallTimeout{5000};
  // Pause of the accept loop while the process or the system is out of file descriptors.
  std::chrono::milliseconds acceptBackoff{100};
};

}  // namespace norvexsim
