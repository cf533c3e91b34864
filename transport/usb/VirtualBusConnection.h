#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One connection to the simulator's virtual USB bus: a Unix-domain stream socket carrying
// messages [u8 type][u16 payload length, little-endian][payload].
//
// Results are library status codes: 3002 (device_notfound) once the simulator has closed the
// connection (it then behaves like an unplugged device, and stays so), 8038 (no_reader_resp) when
// the timeout passes, a system error number for other socket failures. Sending never raises
// SIGPIPE.
class VirtualBusConnection {
 public:
  struct Message {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
  };

  static constexpr size_t kHeaderSize = 3;
  static constexpr size_t kMaxPayload = 0xFFFF;

  // Connects to the socket at path; connection is set only on success.
  static long Connect(const std::string& path, std::unique_ptr<VirtualBusConnection>& connection);

  // Takes ownership of a connected socket.
  explicit VirtualBusConnection(int connectedFd) : fd(connectedFd) {}
  ~VirtualBusConnection();
  VirtualBusConnection(const VirtualBusConnection&) = delete;
  VirtualBusConnection& operator=(const VirtualBusConnection&) = delete;

  // Sends one whole message; blocks at most timeoutMs while the socket is full.
  long Send(uint8_t type, const uint8_t* payload, size_t length, unsigned timeoutMs);
  // Waits at most timeoutMs for the next whole message.
  long Receive(Message& message, unsigned timeoutMs);
  // Drops every whole message already received or waiting in the socket, without blocking. The
  // start of a message still arriving is kept, so the stream stays in step.
  long DiscardArrived();

  bool IsOpen() const { return fd >= 0; }

 private:
  // Moves whatever the socket holds into pending; waits until the deadline for at least one byte
  // when wait is set.
  long Fill(bool wait, std::chrono::steady_clock::time_point deadline);
  bool TakeMessage(Message& message);
  long Lost();

  int fd = -1;
  std::vector<uint8_t> pending;  // received bytes not yet taken as messages
};
