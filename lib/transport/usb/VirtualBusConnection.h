// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One connection to the simulator's virtual USB bus: a Unix-domain stream socket carrying the
// messages of VirtualBusProtocol.h.
//
// Results are library status codes: 3002 (device_notfound) once the simulator has closed the
// connection (it then behaves like an unplugged device, and stays so), 8038 (no_reader_resp) when
// the timeout passes, a system error number for other socket failures. Sending never raises
// SIGPIPE. Once a connection has sent and received its first messages, it allocates nothing: it
// receives into one buffer sized for the largest message and sends from storage it keeps.
class VirtualBusConnection {
 public:
  using Clock = std::chrono::steady_clock;

  // A received message. The payload lies in the connection's receive buffer and stays valid until
  // the next Receive or DiscardArrived.
  struct MessageView {
    uint8_t type = 0;
    const uint8_t* payload = nullptr;
    size_t length = 0;
  };

  // The end of a wait of timeoutMs (at least 1 ms). The clock is read only when something first
  // has to wait, so a message that is already there costs no clock reading.
  class Deadline {
   public:
    explicit Deadline(unsigned timeoutMs) : timeoutMs_(timeoutMs > 0 ? timeoutMs : 1) {}
    // Milliseconds left, 0 once the deadline has passed.
    int RemainingMs();

   private:
    unsigned timeoutMs_;
    std::optional<Clock::time_point> end_;
  };

  // Connects to the socket at path, waiting at most timeoutMs while the simulator's backlog is
  // full (8038 after that); connection is set only on success.
  static long Connect(const std::string& path, unsigned timeoutMs,
                      std::unique_ptr<VirtualBusConnection>& connection);

  // Takes ownership of a connected socket.
  explicit VirtualBusConnection(int connectedFd);
  ~VirtualBusConnection();
  VirtualBusConnection(const VirtualBusConnection&) = delete;
  VirtualBusConnection& operator=(const VirtualBusConnection&) = delete;

  // Sends one whole message; blocks at most timeoutMs while the socket is full.
  long Send(uint8_t type, const uint8_t* payload, size_t length, unsigned timeoutMs);
  // Waits until the deadline for the next whole message.
  long Receive(MessageView& message, Deadline& deadline);
  long Receive(MessageView& message, unsigned timeoutMs);
  // Drops every whole message already received or waiting in the socket, without blocking. The
  // start of a message still arriving is kept, so the stream stays in step.
  long DiscardArrived();

  // Ends the connection in order: tells the simulator no more is coming, then waits at most
  // timeoutMs for it to finish with the connection (it releases any reader it held first) and
  // close its side. Afterwards the connection is closed.
  void CloseAndAwaitPeer(unsigned timeoutMs);

 private:
  // Moves whatever the socket holds into the receive buffer; with a deadline, waits until then
  // for at least one byte.
  long Fill(Deadline* deadline);
  bool TakeMessage(MessageView& message);
  long Lost();

  int fd = -1;
  // Received bytes not yet taken as messages lie at [begin, end). Room for one whole message of
  // the largest size, so a message always fits once the bytes before it are dropped.
  std::unique_ptr<uint8_t[]> incoming;
  size_t begin = 0;
  size_t end = 0;
  std::vector<uint8_t> outgoing;  // the message being sent
};
