#pragma once
// A host-side client of the virtual USB bus for the simulator tests: its own encoding of bus
// messages, frames and the CRC, independent of the simulator's code.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// CRC-16/MCRF4XX, bit by bit: polynomial 0x8408 reflected, initial value 0xFFFF, no final XOR.
inline uint16_t crc16(const uint8_t* data, size_t size) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  return crc;
}

inline Bytes requestFrame(uint8_t sequence, uint8_t instruction, const Bytes& params = {}) {
  Bytes frame = {0xA5, sequence, instruction, static_cast<uint8_t>(params.size() & 0xFF),
                 static_cast<uint8_t>(params.size() >> 8)};
  frame.insert(frame.end(), params.begin(), params.end());
  const uint16_t crc = crc16(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

struct ReplyFrame {
  uint8_t sequence = 0;
  int8_t status = 0;
  Bytes data;
  bool crcValid = false;
  size_t packets = 0;  // IN packets it came in
};

struct Message {
  char type = 0;
  Bytes payload;
};

// A fresh temporary directory for one test's socket, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "simtest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

class BusClient {
 public:
  enum class Wait { kMessage, kTimeout, kClosed };

  explicit BusClient(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      throw std::runtime_error("cannot connect to " + path);
    }
  }
  ~BusClient() { ::close(fd_); }
  BusClient(const BusClient&) = delete;
  BusClient& operator=(const BusClient&) = delete;

  bool send(char type, const Bytes& payload = {}) {
    Bytes bytes = {static_cast<uint8_t>(type), static_cast<uint8_t>(payload.size() & 0xFF),
                   static_cast<uint8_t>(payload.size() >> 8)};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }

  Wait receive(Message& message, std::chrono::milliseconds timeout = 2000ms) {
    uint8_t header[3];
    Wait got = readExactly(header, 3, timeout);
    if (got != Wait::kMessage) return got;
    message.type = static_cast<char>(header[0]);
    message.payload.assign(static_cast<size_t>(header[1] | header[2] << 8), 0);
    return readExactly(message.payload.data(), message.payload.size(), timeout);
  }

  // True when the simulator closed the connection within the time-out.
  bool closedByPeer(std::chrono::milliseconds timeout = 2000ms) {
    Message ignored;
    Wait got;
    while ((got = receive(ignored, timeout)) == Wait::kMessage) {
    }
    return got == Wait::kClosed;
  }

  std::vector<std::pair<uint16_t, uint16_t>> list() {
    send('L');
    Message reply;
    if (receive(reply) != Wait::kMessage || reply.type != 'L') throw std::runtime_error("no list");
    std::vector<std::pair<uint16_t, uint16_t>> devices;
    for (size_t i = 0; i + 4 <= reply.payload.size(); i += 4) {
      const Bytes& p = reply.payload;
      devices.emplace_back(p[i] | p[i + 1] << 8, p[i + 2] | p[i + 3] << 8);
    }
    return devices;
  }

  int open(uint8_t index) {
    send('O', {index});
    Message reply;
    if (receive(reply) != Wait::kMessage || reply.type != 'O' || reply.payload.size() != 1) {
      return -1;
    }
    return reply.payload[0];
  }

  std::string control(const std::string& line) {
    send('C', Bytes(line.begin(), line.end()));
    Message reply;
    if (receive(reply) != Wait::kMessage || reply.type != 'C') return "<no answer>";
    return std::string(reply.payload.begin(), reply.payload.end());
  }

  // Sends a frame as 32-byte OUT packets; the tail of the last one is filled with `pad`.
  void sendFrame(const Bytes& frame, uint8_t pad = 0x00) {
    for (size_t offset = 0; offset < frame.size(); offset += 32) {
      Bytes packet(32, pad);
      const size_t chunk = std::min<size_t>(32, frame.size() - offset);
      std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(offset), chunk, packet.begin());
      send('P', packet);
    }
  }

  // Reassembles one reply frame from IN packets by its length field.
  std::optional<ReplyFrame> receiveFrame(std::chrono::milliseconds timeout = 2000ms) {
    Bytes bytes;
    size_t packets = 0;
    size_t expected = 7;
    while (bytes.size() < expected) {
      Message packet;
      if (receive(packet, timeout) != Wait::kMessage) return std::nullopt;
      if (packet.type != 'P' || packet.payload.size() != 32) return std::nullopt;
      bytes.insert(bytes.end(), packet.payload.begin(), packet.payload.end());
      ++packets;
      expected = static_cast<size_t>(bytes[3] | bytes[4] << 8) + 7;
    }
    bytes.resize(expected);
    ReplyFrame reply;
    reply.sequence = bytes[1];
    reply.status = static_cast<int8_t>(bytes[2]);
    reply.data.assign(bytes.begin() + 5, bytes.end() - 2);
    const uint16_t crc = crc16(bytes.data(), bytes.size() - 2);
    reply.crcValid = bytes[0] == 0xA5 && bytes[bytes.size() - 2] == (crc & 0xFF) &&
                     bytes[bytes.size() - 1] == (crc >> 8);
    reply.packets = packets;
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
    size_t done = 0;
    while (done < size) {
      pollfd watched{fd_, POLLIN, 0};
      if (::poll(&watched, 1, static_cast<int>(timeout.count())) <= 0) return Wait::kTimeout;
      const ssize_t got = ::recv(fd_, data + done, size - done, 0);
      if (got <= 0) return Wait::kClosed;
      done += static_cast<size_t>(got);
    }
    return Wait::kMessage;
  }

  int fd_ = -1;
};

}  // namespace simtest
