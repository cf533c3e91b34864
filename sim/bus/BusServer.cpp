#include "sim/bus/BusServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "sim/bus/UnixSocket.h"

namespace norvexsim {

BusServer::BusServer(const std::string& socketPath, DeviceRegistry& devices, ControlHandler control)
    : socketPath_(socketPath), devices_(devices), control_(std::move(control)) {
  listener_ = listenUnix(socketPath_);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    ::unlink(socketPath_.c_str());
    throw std::runtime_error("cannot create the server's wake-up pipe");
  }
  wakeRead_ = Fd(pipeFds[0]);
  wakeWrite_ = Fd(pipeFds[1]);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

BusServer::~BusServer() {
  stop();
}

void BusServer::stop() {
  if (stopped_) return;
  stopped_ = true;
  const char wake = 's';
  (void)!::write(wakeWrite_.get(), &wake, 1);
  acceptThread_.join();
  ::unlink(socketPath_.c_str());

  std::map<ConnectionId, std::unique_ptr<Session>> sessions;
  {
    std::lock_guard lock(mutex_);
    sessions.swap(sessions_);
    for (auto& [id, session] : sessions) ::shutdown(session->fd.get(), SHUT_RDWR);
  }
  for (auto& [id, session] : sessions) session->thread.join();
}

void BusServer::acceptLoop() {
  for (;;) {
    // While frozen only the wake-up pipe is watched: connecting hosts pile up in the backlog.
    const int frozenMs = frozenForMs();
    pollfd watched[2] = {{wakeRead_.get(), POLLIN, 0}, {listener_.get(), POLLIN, 0}};
    if (::poll(watched, frozenMs > 0 ? 1 : 2, frozenMs > 0 ? frozenMs : -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[0].revents != 0) {
      char wake = 's';
      if (::read(wakeRead_.get(), &wake, 1) != 1 || wake == 's') return;
      continue;  // frozen or thawed
    }
    if (frozenMs > 0 || watched[1].revents == 0) continue;
    Fd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (client.valid()) startSession(std::move(client));
    reapFinished();
  }
}

void BusServer::stopAccepting(std::chrono::milliseconds duration) {
  {
    std::lock_guard lock(mutex_);
    frozenUntil_ = std::chrono::steady_clock::now() + duration;
  }
  const char wake = 'f';
  (void)!::write(wakeWrite_.get(), &wake, 1);
}

int BusServer::frozenForMs() {
  std::lock_guard lock(mutex_);
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(frozenUntil_ -
                                                                  std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
}

void BusServer::startSession(Fd fd) {
  std::lock_guard lock(mutex_);
  const ConnectionId id = nextId_++;
  auto session = std::make_unique<Session>();
  session->fd = std::move(fd);
  Session* raw = session.get();
  session->thread = std::thread([this, raw, id] {
    Connection(raw->fd.get(), id, devices_, control_).serve();
    // Let the host see the end at once; the descriptor is closed when the session is reaped.
    ::shutdown(raw->fd.get(), SHUT_RDWR);
    raw->finished = true;
  });
  sessions_.emplace(id, std::move(session));
}

// Joins the threads of connections that have ended and closes their sockets.
void BusServer::reapFinished() {
  std::lock_guard lock(mutex_);
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (it->second->finished) {
      it->second->thread.join();
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

void BusServer::disconnect(ConnectionId connection) {
  std::lock_guard lock(mutex_);
  const auto it = sessions_.find(connection);
  if (it != sessions_.end()) ::shutdown(it->second->fd.get(), SHUT_RDWR);
}

}  // namespace norvexsim
