#pragma once
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/bus/Connection.h"
#include "sim/bus/DeviceRegistry.h"
#include "sim/bus/Fd.h"

namespace norvexsim {

// Serves the virtual USB bus on a Unix-domain socket: accepts host connections on a background
// thread and runs each on a thread of its own. Listening when constructed; the destructor cuts
// every connection, joins every thread and removes the socket file.
class BusServer {
 public:
  BusServer(const std::string& socketPath, DeviceRegistry& devices, ControlHandler control);
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
    std::atomic<bool> finished{false};
  };

  void acceptLoop();
  void startSession(Fd fd);
  void reapFinished();
  int frozenForMs();

  const std::string socketPath_;
  DeviceRegistry& devices_;
  ControlHandler control_;
  Fd listener_;
  Fd wakeRead_;
  Fd wakeWrite_;
  std::mutex mutex_;
  std::map<ConnectionId, std::unique_ptr<Session>> sessions_;
  ConnectionId nextId_ = 1;
  std::thread acceptThread_;
  bool stopped_ = false;
  std::chrono::steady_clock::time_point frozenUntil_;  // guarded by mutex_
};

}  // namespace norvexsim
