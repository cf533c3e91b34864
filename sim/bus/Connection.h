// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>
#include <functional>
#include <string>

#include "sim/bus/DeviceRegistry.h"
#include "sim/bus/Message.h"
#include "sim/device/FrameAssembler.h"

namespace norvexsim {

using ControlHandler = std::function<std::string(const std::string& commandLine)>;

// One host connection to the virtual bus: answers list and open requests and control commands,
// and once it holds a device, carries that device's USB packets. Runs on its own thread until
// the host closes the connection, breaks the bus protocol, or the device is unplugged (its socket
// is then shut down from outside). A host may stay idle between messages as long as it likes, but
// a message it began must be complete within the stall time-out, or the connection ends.
class Connection {
 public:
  Connection(int fd, ConnectionId id, DeviceRegistry& devices, ControlHandler control,
             std::chrono::milliseconds stallTimeout);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Serves messages until the connection ends. The device it held is released on destruction.
  void serve();

 private:
  bool handle(const BusMessage& message);
  bool handleList();
  bool handleOpen(const BusMessage& message);
  bool handlePacket(const BusMessage& message);
  bool handleControl(const BusMessage& message);

  int fd_;
  ConnectionId id_;
  DeviceRegistry& devices_;
  ControlHandler control_;
  std::chrono::milliseconds stallTimeout_;
  int reader_ = -1;
  VirtualReader* device_ = nullptr;
  FrameAssembler assembler_;
};

}  // namespace norvexsim
