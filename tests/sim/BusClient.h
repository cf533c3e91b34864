// SPDX-License-Identifier: MIT
#pragma once
// A host-side client of the virtual USB bus. The bus messages follow the layout both ends share;
// frames and the CRC have an encoding of their own, independent of the simulator's code.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/transport/usb/VirtualBusProtocol.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// CRC-16/MCRF4XX, bit by bit: polynomial 0x8408 reflected, initial value 0xFFFF, no final XOR.
inline Bytes withCrc(Bytes frame) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : frame) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

inline Bytes requestFrame(uint8_t sequence, uint8_t instruction, const Bytes& params = {}) {
  Bytes frame = {0xA5, sequence, instruction, static_cast<uint8_t>(params.size() & 0xFF),
                 static_cast<uint8_t>(params.size() >> 8)};
  frame.insert(frame.end(), params.begin(), params.end());
  return withCrc(frame);
}

struct ReplyFrame {
  uint8_t sequence = 0;
  int8_t status = 0;
  Bytes data;
  bool crcValid = false;
  size_t packets = 0;  // IN packets it came in
};

struct Message {
  uint8_t type = 0;
  Bytes payload;
};

// A fresh temporary directory for one test's socket, removed afterwards.
struct TempDir {
  std::string path = (std::filesystem::temp_directory_path() / "simtest-XXXXXX").string();
  TempDir() {
    if (::mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string file(const std::string& name) const { return path + "/" + name; }
};

inline sockaddr_un socketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

class BusClient {
 public:
  enum class Wait { kMessage, kTimeout, kClosed };

  explicit BusClient(const std::string& path) {
    const sockaddr_un address = socketAddress(path);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      throw std::runtime_error("cannot connect to " + path);
    }
  }
  ~BusClient() { ::close(fd_); }
  BusClient(const BusClient&) = delete;
  BusClient& operator=(const BusClient&) = delete;

  int fd() const { return fd_; }

  void send(uint8_t type, const Bytes& payload = {}) {
    Bytes bytes(virtualbus::kHeaderSize);
    virtualbus::EncodeHeader(type, payload.size(), bytes.data());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }

  Wait receive(Message& message, std::chrono::milliseconds timeout = 2000ms) {
    uint8_t header[virtualbus::kHeaderSize];
    Wait got = readExactly(header, sizeof header, timeout);
    if (got != Wait::kMessage) return got;
    message.type = header[0];
    message.payload.assign(virtualbus::PayloadLength(header), 0);
    return readExactly(message.payload.data(), message.payload.size(), timeout);
  }

  // True when the simulator closed the connection within the time-out.
  bool closedByPeer() {
    Message ignored;
    Wait got;
    while ((got = receive(ignored)) == Wait::kMessage) {
    }
    return got == Wait::kClosed;
  }

  // The reply of the given type to a message, or nullopt.
  std::optional<Bytes> ask(uint8_t type, const Bytes& payload = {}) {
    send(type, payload);
    Message reply;
    if (receive(reply) != Wait::kMessage || reply.type != type) return std::nullopt;
    return reply.payload;
  }

  std::vector<std::pair<uint16_t, uint16_t>> list() {
    const Bytes p = ask(virtualbus::kList).value_or(Bytes{});
    std::vector<std::pair<uint16_t, uint16_t>> devices;
    for (size_t i = 0; i + virtualbus::kListEntrySize <= p.size();
         i += virtualbus::kListEntrySize) {
      const virtualbus::DeviceEntry entry = virtualbus::DecodeListEntry(&p[i]);
      devices.emplace_back(entry.vendorId, entry.productId);
    }
    return devices;
  }

  int open(uint8_t index) {
    const auto reply = ask(virtualbus::kOpen, {index});
    return reply && reply->size() == 1 ? (*reply)[0] : -1;
  }

  std::string control(const std::string& line) {
    const auto reply = ask(virtualbus::kControl, Bytes(line.begin(), line.end()));
    return reply ? std::string(reply->begin(), reply->end()) : "<no answer>";
  }

  // Sends a frame as 32-byte OUT packets; the tail of the last one is filled with `pad`.
  void sendFrame(const Bytes& frame, uint8_t pad = 0x00) {
    constexpr size_t kPacket = virtualbus::kPacketSize;
    for (size_t offset = 0; offset < frame.size(); offset += kPacket) {
      Bytes packet(kPacket, pad);
      const size_t chunk = std::min(kPacket, frame.size() - offset);
      std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(offset), chunk, packet.begin());
      send(virtualbus::kPacket, packet);
    }
  }

  // Reassembles one reply frame from IN packets by its length field.
  std::optional<ReplyFrame> receiveFrame(std::chrono::milliseconds timeout = 2000ms) {
    Bytes bytes;
    ReplyFrame reply;
    size_t expected = 7;
    while (bytes.size() < expected) {
      Message packet;
      if (receive(packet, timeout) != Wait::kMessage || packet.type != virtualbus::kPacket ||
          packet.payload.size() != virtualbus::kPacketSize) {
        return std::nullopt;
      }
      bytes.insert(bytes.end(), packet.payload.begin(), packet.payload.end());
      ++reply.packets;
      expected = static_cast<size_t>(bytes[3] | bytes[4] << 8) + 7;
    }
    bytes.resize(expected);
    reply.sequence = bytes[1];
    reply.status = static_cast<int8_t>(bytes[2]);
    reply.data.assign(bytes.begin() + 5, bytes.end() - 2);
    reply.crcValid = bytes[0] == 0xA5 && withCrc(Bytes(bytes.begin(), bytes.end() - 2)) == bytes;
    return reply;
  }

  std::optional<ReplyFrame> transact(uint8_t sequence, uint8_t instruction,
                                     const Bytes& params = {},
                                     std::chrono::milliseconds timeout = 2000ms) {
    sendFrame(requestFrame(sequence, instruction, params));
    return receiveFrame(timeout);
  }

 private:
  Wait readExactly(uint8_t* data, size_t size, std::chrono::milliseconds timeout) {
    for (size_t done = 0; done < size;) {
      pollfd watched{fd_, POLLIN, 0};
      if (::poll(&watched, 1, static_cast<int>(timeout.count())) <= 0) return Wait::kTimeout;
      const ssize_t got = ::recv(fd_, data + done, size - done, 0);
      if (got <= 0) return Wait::kClosed;
      done += static_cast<size_t>(got);
    }
    return Wait::kMessage;
  }

  int fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
};

}  // namespace simtest
