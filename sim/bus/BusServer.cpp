// SPDX-License-Identifier: MIT
#include "sim/bus/BusServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "sim/bus/UnixSocket.h"

namespace norvexsim {

namespace {

Fd openSpare() {
  return Fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

bool outOfDescriptors(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// A reply that finds no room in the host's socket within the time-out fails, ending the
// connection, so a host that never reads cannot hold its thread.
void limitSends(int fd, std::chrono::milliseconds timeout) {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
  timeval limit{static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

}  // namespace

BusServer::BusServer(const std::string& socketPath, DeviceRegistry& devices, ControlHandler control,
                     BusLimits limits)
    : socketPath_(socketPath), devices_(devices), control_(std::move(control)), limits_(limits) {
  listener_ = listenUnix(socketPath_, 64);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    ::unlink(socketPath_.c_str());
    throw std::runtime_error("cannot create the server's wake-up pipe");
  }
  wakeRead_ = Fd(pipeFds[0]);
  wakeWrite_ = Fd(pipeFds[1]);
  spare_ = openSpare();
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

BusServer::~BusServer() {
  stop();
}

void BusServer::stop() {
  if (stopped_) return;
  stopped_ = true;
  stopping_ = true;
  wake();
  acceptThread_.join();
  ::unlink(socketPath_.c_str());

  std::map<ConnectionId, std::unique_ptr<Session>> sessions;
  {
    std::lock_guard lock(mutex_);
    sessions.swap(sessions_);
    for (auto& [id, session] : sessions) {
      if (session->fd.valid()) ::shutdown(session->fd.get(), SHUT_RDWR);
    }
  }
  for (auto& [id, session] : sessions) session->thread.join();
}

// A full pipe already holds a wake-up, so a failed write loses nothing.
void BusServer::wake() {
  const char byte = 'w';
  (void)!::write(wakeWrite_.get(), &byte, 1);
}

// Empties the wake-up pipe; true when the server is stopping.
bool BusServer::drainWakeups() {
  char bytes[64];
  while (::read(wakeRead_.get(), bytes, sizeof bytes) > 0) {
  }
  return stopping_;
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
      if (drainWakeups()) return;
      reapFinished();  // a connection ended, or the server was frozen or thawed
    }
    // A freeze asked for while the loop waited holds from then on: the host that came meanwhile
    // waits in the backlog too.
    if (frozenMs == 0 && watched[1].revents != 0 && frozenForMs() == 0) acceptOne();
  }
}

void BusServer::acceptOne() {
  Fd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
  if (client.valid()) {
    startSession(std::move(client));
  } else if (outOfDescriptors(errno)) {
    refuseWhileOutOfDescriptors();
  } else if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
    pause(limits_.acceptBackoff);  // an unexpected failure must not spin the loop either
  }
}

// Out of descriptors, the waiting host would sit in the backlog with no answer, and the listener
// would stay readable and spin this loop. The spare descriptor makes room to take the host and
// close it at once, so it sees the refusal; then the loop pauses before trying again.
void BusServer::refuseWhileOutOfDescriptors() {
  if (spare_.valid()) {
    spare_.reset();
    Fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC)).reset();
    spare_ = openSpare();
  }
  pause(limits_.acceptBackoff);
}

// Sleeps, waking early to reap ended connections or to stop.
void BusServer::pause(std::chrono::milliseconds time) {
  pollfd watched{wakeRead_.get(), POLLIN, 0};
  if (::poll(&watched, 1, static_cast<int>(time.count())) <= 0) return;
  if (drainWakeups()) {
    wake();  // leaves the stop request to the accept loop
  } else {
    reapFinished();
  }
}

void BusServer::stopAccepting(std::chrono::milliseconds duration) {
  {
    std::lock_guard lock(mutex_);
    frozenUntil_ = std::chrono::steady_clock::now() + duration;
  }
  wake();
}

int BusServer::frozenForMs() {
  std::lock_guard lock(mutex_);
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(frozenUntil_ - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
}

void BusServer::startSession(Fd fd) {
  std::lock_guard lock(mutex_);
  if (sessions_.size() >= limits_.maxConnections) return;  // closed as fd goes out of scope
  limitSends(fd.get(), limits_.stallTimeout);
  const ConnectionId id = nextId_++;
  auto session = std::make_unique<Session>();
  session->fd = std::move(fd);
  Session* raw = session.get();
  try {
    session->thread = std::thread([this, raw, id] {
      try {
        Connection(raw->fd.get(), id, devices_, control_, limits_.stallTimeout).serve();
      } catch (const std::exception&) {
        // Out of memory, most likely: this host loses its connection, the others are served on.
      }
      endSession(*raw);
    });
  } catch (const std::system_error&) {
    return;  // no thread to spare: the host is refused
  }
  sessions_.emplace(id, std::move(session));
}

// Runs last on a session's thread: closes its socket, so the host sees the end at once, and has
// the accept loop join the thread.
void BusServer::endSession(Session& session) {
  {
    std::lock_guard lock(mutex_);
    session.fd.reset();
    session.finished = true;
  }
  wake();
}

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
  if (it != sessions_.end() && it->second->fd.valid()) {
    ::shutdown(it->second->fd.get(), SHUT_RDWR);
  }
}

}  // namespace norvexsim
