#include "sim/bus/UnixSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace norvexsim {

namespace {

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

// Removes a socket file nobody listens on any more.
void removeStaleSocket(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return;
  if (!S_ISSOCK(info.st_mode)) throw std::runtime_error("not a socket: " + path);
  if (connectUnix(path).valid()) throw std::runtime_error("a simulator already serves " + path);
  ::unlink(path.c_str());
}

}  // namespace

Fd listenUnix(const std::string& path) {
  const sockaddr_un address = socketAddress(path);
  removeStaleSocket(path);
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) fail("cannot create socket for", path);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    fail("cannot bind", path);
  }
  if (::listen(fd.get(), 16) != 0) fail("cannot listen on", path);
  return fd;
}

Fd connectUnix(const std::string& path) {
  const sockaddr_un address = socketAddress(path);
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return fd;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Fd();
  }
  return fd;
}

}  // namespace norvexsim
