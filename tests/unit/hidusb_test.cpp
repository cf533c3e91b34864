// SPDX-License-Identifier: MIT
// The USB transport over a scripted backend: device search by vendor and product, frames cut into
// 32-byte packets, replies reassembled by their length field, and the guards around a transport
// that is not open.

#include "transport/HIDUSB.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "status/StatusCodes.h"
#include "transport/usb/UsbBackend.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The scripted bus, owned by the transport: its devices, what went out and what will come in.
struct Bus : UsbBackend {
  struct Device : UsbDeviceHandle {
    explicit Device(Bus* owner) : bus(owner) {}
    long AbortInPipe() override {
      ++bus->aborts;
      return 0;
    }
    long WritePacket(const uint8_t* data, size_t length, unsigned) override {
      bus->packetsOut.emplace_back(data, data + length);
      return 0;
    }
    long ReadPacket(uint8_t* data, size_t capacity, size_t& received, unsigned timeoutMs) override {
      bus->readTimeouts.push_back(timeoutMs);
      if (bus->packetsIn.empty()) return no_reader_resp;  // a silent reader
      const Bytes packet = bus->packetsIn.front();
      bus->packetsIn.pop_front();
      if (packet.size() > capacity) return EOVERFLOW;
      std::copy(packet.begin(), packet.end(), data);
      received = packet.size();
      return 0;
    }
    Bus* bus;
  };
  long ListDevices(std::vector<UsbDeviceInfo>& list) override {
    list = devices;
    return 0;
  }
  long OpenDevice(const UsbDeviceInfo& device, std::unique_ptr<UsbDeviceHandle>& handle) override {
    openedPosition = static_cast<int>(device.position);
    handle = std::make_unique<Device>(this);
    return 0;
  }

  // Two matching readers, around a foreign device and a sibling model of the same vendor.
  std::vector<UsbDeviceInfo> devices = {
      {0, 0x1D6B, 0x0002}, {1, 0x2E5A, 0x0110}, {2, 0x2E5A, 0x0111}, {3, 0x2E5A, 0x0110}};
  int openedPosition = -1;
  int aborts = 0;
  std::vector<Bytes> packetsOut;
  std::deque<Bytes> packetsIn;
  std::vector<unsigned> readTimeouts;
};

Bytes PacketWithLength(uint16_t m, uint8_t fill) {
  Bytes packet(32, fill);
  packet[3] = static_cast<uint8_t>(m);
  packet[4] = static_cast<uint8_t>(m >> 8);
  return packet;
}

class UsbTransport : public ::testing::Test {
 protected:
  UsbTransport() { transport.SetProductID(0x0110); }
  std::unique_ptr<Bus> owned = std::make_unique<Bus>();
  Bus& bus = *owned;
  HIDUSB transport{std::move(owned)};
  unsigned char frame[256] = {};
  unsigned long done = 0;
};

TEST_F(UsbTransport, FindsReadersByVendorProductAndIndex) {
  int count = -1;
  EXPECT_EQ(transport.EnumDevices(&count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(bus.openedPosition, -1) << "counting opens nothing";
  transport.SetPort(1);
  EXPECT_EQ(transport.OpenInterface(), 0);
  EXPECT_EQ(bus.openedPosition, 3);
  EXPECT_EQ(bus.aborts, 1) << "stale IN packets are discarded on opening";
}

TEST_F(UsbTransport, ATransportThatIsNotOpenFailsEveryTransfer) {
  done = 99;
  EXPECT_EQ(transport.WriteBytesUnblocked(frame, 7, done, 0), device_notfound);
  EXPECT_EQ(transport.ReadBytesUnblocked(frame, sizeof(frame), done, 0), device_notfound);
  EXPECT_EQ(transport.Write(frame, 32, done, 0), device_notfound);
  EXPECT_EQ(transport.Read(frame, 32, done, 0), device_notfound);
  EXPECT_EQ(done, 99u);
  EXPECT_EQ(transport.CloseInterface(), 0);
  bus.devices.clear();  // unplugged
  EXPECT_EQ(transport.ResetInterface(), device_notfound);
}

TEST_F(UsbTransport, FramesGoOutAsWhole32BytePackets) {
  ASSERT_EQ(transport.OpenInterface(), 0);
  unsigned char small[7] = {0xA5, 0, 0x10, 0, 0, 0x8D, 0x79};
  ASSERT_EQ(transport.WriteBytesUnblocked(small, sizeof(small), done, 0), 0);
  EXPECT_EQ(done, 7u);
  Bytes expected(small, small + 7);
  expected.resize(32, 0);
  EXPECT_EQ(bus.packetsOut, std::vector<Bytes>{expected});

  bus.packetsOut.clear();
  unsigned char large[40];
  for (int i = 0; i < 40; ++i) large[i] = static_cast<unsigned char>(i + 1);
  ASSERT_EQ(transport.WriteBytesUnblocked(large, sizeof(large), done, 0), 0);
  ASSERT_EQ(bus.packetsOut.size(), 2u);
  EXPECT_EQ(bus.packetsOut[0], Bytes(large, large + 32));
  // The last packet: the 8 remaining frame bytes, then the tail of the previous chunk.
  Bytes tail(large + 32, large + 40);
  tail.insert(tail.end(), large + 8, large + 32);
  EXPECT_EQ(bus.packetsOut[1], tail);
}

TEST_F(UsbTransport, RepliesAreReassembledByTheirLengthField) {
  ASSERT_EQ(transport.OpenInterface(), 0);
  const std::pair<uint16_t, size_t> cases[] = {{0, 1}, {25, 1}, {26, 2}, {57, 2}, {58, 3}};
  for (const auto& [length, packets] : cases) {
    SCOPED_TRACE(length);
    bus.packetsIn = {PacketWithLength(length, 1)};
    for (int i = 0; i < 4; ++i) bus.packetsIn.push_back(Bytes(32, static_cast<uint8_t>(i + 2)));
    ASSERT_EQ(transport.ReadBytesUnblocked(frame, sizeof(frame), done, 0), 0);
    EXPECT_EQ(done, 32 * packets);
    EXPECT_EQ(bus.packetsIn.size(), 5 - packets) << "no packet beyond the frame is taken";
    if (packets > 1) {
      EXPECT_EQ(frame[32], 2);
    }
  }
}

TEST_F(UsbTransport, ReplyLargerThanTheBufferIs7006WithoutCopying) {
  ASSERT_EQ(transport.OpenInterface(), 0);
  bus.packetsIn = {PacketWithLength(100, 1), Bytes(32, 2), Bytes(32, 3)};
  std::fill(std::begin(frame), std::end(frame), 0xCC);
  EXPECT_EQ(transport.ReadBytesUnblocked(frame, 50, done, 0), resp_too_long);
  EXPECT_EQ(frame[32], 0xCC) << "the overflowing packet is not copied";
  EXPECT_EQ(bus.packetsIn.size(), 1u) << "the overflowing packet was read";

  std::fill(std::begin(frame), std::end(frame), 0xCC);
  bus.packetsIn = {PacketWithLength(0, 1)};
  EXPECT_EQ(transport.ReadBytesUnblocked(frame, 16, done, 0), resp_too_long) << "even the first";
  EXPECT_EQ(frame[0], 0xCC);
}

TEST_F(UsbTransport, ReadsNeverWaitForever) {
  ASSERT_EQ(transport.OpenInterface(), 0);
  EXPECT_EQ(transport.ReadBytesUnblocked(frame, 64, done, 0), no_reader_resp);
  EXPECT_EQ(transport.ReadBytesUnblocked(frame, 64, done, 150), no_reader_resp);
  EXPECT_EQ(bus.readTimeouts, (std::vector<unsigned>{2000, 150})) << "0 means the default";

  bus.packetsIn = {PacketWithLength(40, 1), Bytes()};
  EXPECT_EQ(transport.ReadBytesUnblocked(frame, 64, done, 100), resp_too_short)
      << "an empty packet inside a frame ends it";
}

}  // namespace
