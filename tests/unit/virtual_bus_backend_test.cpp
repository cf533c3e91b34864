// The virtual-bus backend against a tiny in-test bus server speaking the socket contract:
// listing, opening, whole 32-byte packets both ways, read timeouts, and a closed connection
// behaving like an unplugged reader. The last test runs the whole transport stack over it.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "api/StatusCodes.h"
#include "transport/CommandObject.h"
#include "transport/Crc16.h"
#include "transport/HIDUSB.h"
#include "transport/USBBlockFramingProtocol.h"
#include "transport/usb/VirtualBusBackend.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool ReadExactly(int fd, uint8_t* data, size_t n) {
  for (ssize_t got = 0; n > 0; data += got, n -= static_cast<size_t>(got)) {
    if ((got = ::recv(fd, data, n, 0)) <= 0) return false;
  }
  return true;
}

void SendMessage(int fd, uint8_t type, const Bytes& payload) {
  Bytes message{type, static_cast<uint8_t>(payload.size()),
                static_cast<uint8_t>(payload.size() >> 8)};
  message.insert(message.end(), payload.begin(), payload.end());
  (void)!::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
}

// A bus of three readers (the second of a foreign vendor), serving one connection at a time on a
// thread of its own. onPacket answers each packet sent to an opened reader; busyIndex makes one
// reader "already open"; closeAfterOpen drops the link right after an opening, like an unplug.
class TinyBus {
 public:
  TinyBus() {
    char pattern[] = "/tmp/norvex-bus-XXXXXX";
    directory = ::mkdtemp(pattern);
    path = directory + "/bus.sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::listen(listener, 8), 0);
    server = std::thread([this] { Run(); });
  }

  ~TinyBus() {
    stopping = true;
    ::shutdown(active.load(), SHUT_RDWR);
    server.join();
    ::close(listener);
    std::filesystem::remove_all(directory);
  }

  std::string path;
  std::function<std::vector<Bytes>(const Bytes&)> onPacket = [](const Bytes&) {
    return std::vector<Bytes>{};
  };
  std::atomic<int> busyIndex{-1};
  std::atomic<bool> closeAfterOpen{false};
  std::atomic<int> aborts{0};

 private:
  void Run() {
    while (!stopping) {
      pollfd waiting{listener, POLLIN, 0};
      if (::poll(&waiting, 1, 20) <= 0) continue;
      active = ::accept(listener, nullptr, nullptr);
      if (!stopping) Serve(active);
      ::close(active.exchange(-1));
    }
  }

  void Serve(int fd) {
    const Bytes list{0x5A, 0x2E, 0x10, 0x01, 0x34, 0x12, 0x01, 0x00, 0x5A, 0x2E, 0x10, 0x01};
    uint8_t header[3];
    while (ReadExactly(fd, header, 3)) {
      Bytes payload(header[1] | (header[2] << 8));
      if (!payload.empty() && !ReadExactly(fd, payload.data(), payload.size())) return;
      if (header[0] == 'L') SendMessage(fd, 'L', list);
      if (header[0] == 'A') ++aborts;
      if (header[0] == 'O') {
        const uint8_t result = payload.at(0) >= 3 ? 1 : payload[0] == busyIndex ? 2 : 0;
        SendMessage(fd, 'O', {result});
        if (result == 0 && closeAfterOpen) return;
      }
      if (header[0] == 'P') {
        EXPECT_EQ(payload.size(), 32u) << "packets travel whole";
        for (const Bytes& packet : onPacket(payload)) SendMessage(fd, 'P', packet);
      }
    }
  }

  std::string directory;
  int listener = -1;
  std::atomic<int> active{-1};
  std::atomic<bool> stopping{false};
  std::thread server;
};

class VirtualBus : public ::testing::Test {
 protected:
  VirtualBus() { ::setenv(VirtualBusBackend::kSocketVariable, bus.path.c_str(), 1); }
  ~VirtualBus() override { ::unsetenv(VirtualBusBackend::kSocketVariable); }

  TinyBus bus;
  VirtualBusBackend backend;
};

TEST_F(VirtualBus, ListsTheAttachedReadersInOrder) {
  std::vector<UsbDeviceInfo> devices;
  ASSERT_EQ(backend.ListDevices(devices), 0);
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[1].position, 1u);
  EXPECT_EQ(devices[1].vendorId, 0x1234);
  EXPECT_EQ(devices[2].productId, 0x0110);

  // The socket path is read at every listing, not remembered.
  ::setenv(VirtualBusBackend::kSocketVariable, (bus.path + ".gone").c_str(), 1);
  EXPECT_EQ(backend.ListDevices(devices), ENOENT);
  EXPECT_TRUE(devices.empty());
  ::unsetenv(VirtualBusBackend::kSocketVariable);
  EXPECT_EQ(backend.ListDevices(devices), 0);
  EXPECT_TRUE(devices.empty());
}

TEST_F(VirtualBus, OpeningChecksTheEntryAndTheSimulatorsAnswer) {
  std::unique_ptr<UsbDeviceHandle> handle;
  EXPECT_EQ(backend.OpenDevice({1, 0x2E5A, 0x0110}, handle), device_notfound) << "entry changed";
  EXPECT_EQ(backend.OpenDevice({7, 0x2E5A, 0x0110}, handle), device_notfound);
  bus.busyIndex = 2;
  EXPECT_EQ(backend.OpenDevice({2, 0x2E5A, 0x0110}, handle), EBUSY);
  EXPECT_EQ(handle, nullptr);
  ASSERT_EQ(backend.OpenDevice({0, 0x2E5A, 0x0110}, handle), 0);
  EXPECT_EQ(handle->AbortInPipe(), 0);
}

TEST_F(VirtualBus, PacketsTravelWholeAndReadsTimeOut) {
  bus.onPacket = [](const Bytes& packet) {
    Bytes echo = packet;
    echo[0] ^= 0xFF;
    return std::vector<Bytes>{echo, Bytes(32, 0x42)};
  };
  std::unique_ptr<UsbDeviceHandle> handle;
  ASSERT_EQ(backend.OpenDevice({0, 0x2E5A, 0x0110}, handle), 0);
  const uint8_t out[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(handle->WritePacket(out, sizeof(out), 1000), 0);

  uint8_t in[32];
  size_t received = 0;
  ASSERT_EQ(handle->ReadPacket(in, sizeof(in), received, 1000), 0);
  EXPECT_EQ(received, 32u);
  EXPECT_EQ(in[0], 0xFE);
  EXPECT_EQ(in[4], 5);
  EXPECT_EQ(in[5], 0) << "short packets are padded to 32 bytes";
  ASSERT_EQ(handle->ReadPacket(in, sizeof(in), received, 1000), 0);
  EXPECT_EQ(in[31], 0x42);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(handle->ReadPacket(in, sizeof(in), received, 100), no_reader_resp);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(90));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));
}

TEST_F(VirtualBus, AClosedConnectionBehavesLikeAnUnpluggedReader) {
  bus.closeAfterOpen = true;
  std::unique_ptr<UsbDeviceHandle> handle;
  ASSERT_EQ(backend.OpenDevice({0, 0x2E5A, 0x0110}, handle), 0);
  uint8_t in[32] = {};
  size_t received = 0;
  EXPECT_EQ(handle->ReadPacket(in, sizeof(in), received, 1000), device_notfound);
  // Writing to the dead link must fail with a status, not kill the process with SIGPIPE.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(handle->WritePacket(in, sizeof(in), 1000), device_notfound);
}

// The whole transport stack over the bus: framing, packets, reassembly and the reply checks.
TEST_F(VirtualBus, FramedExchangeThroughHidusb) {
  bus.onPacket = [](const Bytes& request) {
    // Answer with a 40-byte data block (47-byte frame, two packets) carrying the request's number.
    Bytes frame{0xA5, request[1], 0x00, 40, 0};
    for (int i = 0; i < 40; ++i) frame.push_back(static_cast<uint8_t>(i));
    const uint16_t crc = crc16Mcrf4xx(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.resize(64, 0);
    return std::vector<Bytes>{Bytes(frame.begin(), frame.begin() + 32),
                              Bytes(frame.begin() + 32, frame.end())};
  };
  HIDUSB transport(std::make_unique<VirtualBusBackend>());
  transport.SetProductID(0x0110);
  transport.SetPort(1);
  ASSERT_EQ(transport.OpenInterface(), 0);
  // The abort travels without an answer; give the server thread a moment to take it.
  for (int i = 0; i < 200 && bus.aborts.load() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(bus.aborts.load(), 1);

  USBBlockFramingProtocol protocol(transport);
  CommandObject cmd;
  for (int round = 0; round < 3; ++round) {
    cmd.ResetBuffers();
    cmd.SetCommand(0x19);
    cmd.AddParam(static_cast<unsigned char>(4));
    ASSERT_EQ(protocol.SendCommand(cmd, 1000, 1000), 0);
    ASSERT_EQ(cmd.GetDataBufferLength(), 40u);
    EXPECT_EQ(cmd.GetDataBuffer()[39], 39);
  }
}

}  // namespace
