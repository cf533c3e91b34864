#pragma once
#include <string>

#include "sim/bus/Fd.h"

namespace norvexsim {

// Binds and listens on a Unix-domain stream socket at path. A socket file left behind by a
// simulator that is gone is replaced; a path where a simulator still answers, a path that is
// not a socket, or a path too long for a socket address throws std::runtime_error.
Fd listenUnix(const std::string& path);

// Connects to the socket at path; an invalid Fd when nobody listens there.
Fd connectUnix(const std::string& path);

}  // namespace norvexsim
