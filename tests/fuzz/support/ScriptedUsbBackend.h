#pragma once
// A USB backend with one attached reader whose IN packets come from the fuzz input.
//
// PacketFeed cuts the input into packets: full 32-byte packets, or, when the harness asks for it,
// packets whose length (0 to 32) is given by a byte in front of each. The last packet is what is
// left of the input. Once the input is used up the reader is silent (8038), as the real backends
// report a reader that does not answer within the time-out. Every packet handed out and every
// packet written is logged, so the harness can compare what the transport made of them.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "api/StatusCodes.h"
#include "support/Check.h"
#include "support/FuzzInput.h"
#include "transport/usb/UsbBackend.h"

class PacketFeed {
 public:
  static constexpr size_t kPacketSize = 32;
  static constexpr long kOverflow = 75;  // EOVERFLOW: a packet longer than the read buffer

  PacketFeed(FuzzInput& input, bool variableLengths) : input(input), variable(variableLengths) {}

  bool Exhausted() const { return input.Empty(); }

  long Next(uint8_t* data, size_t capacity, size_t& received) {
    if (input.Empty()) return no_reader_resp;
    const size_t length = variable ? input.Byte() % (kPacketSize + 1) : kPacketSize;
    const auto packet = input.Bytes(length);
    if (packet.size() > capacity) return kOverflow;  // the packet is lost, as on the real bus
    std::copy(packet.begin(), packet.end(), data);
    received = packet.size();
    served.insert(served.end(), packet.begin(), packet.end());
    lastPacket = packet.size();
    ++packets;
    return 0;
  }

  void Written(const uint8_t* data, size_t length) {
    FUZZ_CHECK(length == kPacketSize);  // the transport sends whole packets only
    written.insert(written.end(), data, data + length);
  }

  // Bytes handed out and written, packets handed out and the length of the last, since Clear.
  std::vector<uint8_t> served;
  std::vector<uint8_t> written;
  size_t packets = 0;
  size_t lastPacket = 0;
  void Clear() {
    served.clear();
    written.clear();
    packets = 0;
    lastPacket = 0;
  }

 private:
  FuzzInput& input;
  bool variable;
};

class ScriptedUsbDevice : public UsbDeviceHandle {
 public:
  explicit ScriptedUsbDevice(PacketFeed& feed) : feed(feed) {}

  long AbortInPipe() override { return 0; }
  long WritePacket(const uint8_t* data, size_t length, unsigned) override {
    feed.Written(data, length);
    return 0;
  }
  long ReadPacket(uint8_t* data, size_t capacity, size_t& received, unsigned) override {
    return feed.Next(data, capacity, received);
  }

 private:
  PacketFeed& feed;
};

class ScriptedUsbBackend : public UsbBackend {
 public:
  static constexpr uint16_t kVendorId = 0x2E5A;
  static constexpr uint16_t kProductId = 0x0110;

  explicit ScriptedUsbBackend(PacketFeed& feed) : feed(feed) {}

  long ListDevices(std::vector<UsbDeviceInfo>& devices) override {
    devices.assign(1, UsbDeviceInfo{0, kVendorId, kProductId});
    return 0;
  }
  long OpenDevice(const UsbDeviceInfo&, std::unique_ptr<UsbDeviceHandle>& handle) override {
    handle = std::make_unique<ScriptedUsbDevice>(feed);
    return 0;
  }

 private:
  PacketFeed& feed;
};
