// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>
#include <string>

#include "sim/bus/Fd.h"

namespace norvexsim {

// Binds and listens on a Unix-domain stream socket at path, reachable by this user only (mode
// 0600 whatever the umask). A socket file of this user left behind by a simulator that is gone
// is replaced. Throws std::runtime_error with the reason for a path where a simulator still
// answers, a path that is not a socket, a socket another user owns (someone may be waiting to
// serve fake readers there), or a path too long for a socket address.
Fd listenUnix(const std::string& path, int backlog);

// Connects to the socket at path, waiting at most `timeout` for a listener whose backlog is
// full; an invalid Fd when nobody listens there or the time-out passed. The Fd is blocking.
Fd connectUnix(const std::string& path, std::chrono::milliseconds timeout);

}  // namespace norvexsim
