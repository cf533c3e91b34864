// SPDX-License-Identifier: MIT
#pragma once
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/bus/BusLimits.h"
#include "sim/bus/Connection.h"
#include "sim/bus/DeviceRegistry.h"
#include "sim/bus/Fd.h"

namespace norvexsim {

// Serves the virtual USB bus on a Unix-domain socket: accepts host connections on a background
// thread and runs each on a thread of its own, within the limits given. Listening when
// constructed; the destructor cuts every connection, joins every thread and removes the socket
// file. A connection that ends is joined and its socket closed at once.
class BusServer {
 public:
  BusServer(const std::string& socketPath, DeviceRegistry& devices, ControlHandler control,
            BusLimits limits = {});
  ~BusServer();
  BusServer(const BusServer&) = delete;
  BusServer& operator=(const BusServer&) = delete;

  const std::string& socketPath() const { return socketPath_; }

  // Stops accepting, cuts every connection, joins every thread and removes the socket file.
  // Idempotent; the destructor calls it.
  void stop();

  // Stops accepting connections for a while, as a hung simulator does: connecting hosts wait in
  // the listen backlog until it is full, then connect() blocks. Connections already accepted go
  // on. A duration of 0 accepts again at once.
  void stopAccepting(std::chrono::milliseconds duration);

  // Cuts one connection, as pulling the device's cable does: the host's reads and writes fail.
  void disconnect(ConnectionId connection);

 private:
  struct Session {
    Fd fd;
    std::thread thread;
    bool finished = false;  // guarded by mutex_
  };

  void acceptLoop();
  void acceptOne();
  void refuseWhileOutOfDescriptors();
  void pause(std::chrono::milliseconds time);
  void startSession(Fd fd);
  void endSession(Session& session);
  void reapFinished();
  void wake();
  bool drainWakeups();
  int frozenForMs();

  const std::string socketPath_;
  DeviceRegistry& devices_;
  ControlHandler control_;
  const BusLimits limits_;
  Fd listener_;
  Fd wakeRead_;
  Fd wakeWrite_;
  Fd spare_;  // given up to accept and close a host when descriptors run out
  std::mutex mutex_;
  std::map<ConnectionId, std::unique_ptr<Session>> sessions_;
  ConnectionId nextId_ = 1;
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
  bool stopped_ = false;
  std::chrono::steady_clock::time_point frozenUntil_;  // guarded by mutex_
};

}  // namespace norvexsim
