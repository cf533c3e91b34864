// SPDX-License-Identifier: MIT
#include "sim/bus/UnixSocket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace norvexsim {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_un socketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    throw std::runtime_error("socket path empty or too long: " + path);
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

Fd unixSocket(int flags) {
  return Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0));
}

int connectTo(const Fd& fd, const sockaddr_un& address) {
  int result;
  do {
    result = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

// Whether a process listens at the socket, even one too busy to take the connection now.
bool someoneListens(const sockaddr_un& address) {
  const Fd probe = unixSocket(SOCK_NONBLOCK);
  if (!probe.valid()) return false;
  const int error = connectTo(probe, address);
  return error == 0 || error == EAGAIN;
}

// Removes this user's socket file that nobody listens on any more; refuses anything else.
void removeStaleSocket(const std::string& path, const sockaddr_un& address) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return;
  if (!S_ISSOCK(info.st_mode)) throw std::runtime_error("not a socket: " + path);
  if (info.st_uid != ::geteuid()) {
    throw std::runtime_error("socket " + path + " belongs to another user (uid " +
                             std::to_string(info.st_uid) + "); choose a private path");
  }
  if (someoneListens(address)) throw std::runtime_error("a simulator already serves " + path);
  ::unlink(path.c_str());
}

}  // namespace

Fd listenUnix(const std::string& path, int backlog) {
  const sockaddr_un address = socketAddress(path);
  removeStaleSocket(path, address);
  Fd fd = unixSocket(0);
  if (!fd.valid()) fail("cannot create socket for", path);
  // The socket file takes the socket's mode, less the umask: 0600 at most, without touching the
  // process-wide umask other threads rely on.
  if (::fchmod(fd.get(), 0600) != 0) fail("cannot restrict the mode of the socket for", path);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    fail("cannot bind", path);
  }
  // Nobody can connect before listen(), so checking the mode here leaves no window.
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || (info.st_mode & 077) != 0) {
    ::unlink(path.c_str());
    throw std::runtime_error("cannot make " + path + " private to its user");
  }
  if (::listen(fd.get(), backlog) != 0) fail("cannot listen on", path);
  return fd;
}

// A Unix socket whose listener's backlog is full refuses a non-blocking connect with EAGAIN
// instead of completing later, so the wait is a retry loop.
Fd connectUnix(const std::string& path, std::chrono::milliseconds timeout) {
  const sockaddr_un address = socketAddress(path);
  Fd fd = unixSocket(SOCK_NONBLOCK);
  if (!fd.valid()) return fd;
  const auto deadline = Clock::now() + timeout;
  int error;
  while ((error = connectTo(fd, address)) == EAGAIN && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (error != 0) return Fd();
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return Fd();
  return fd;
}

}  // namespace norvexsim
