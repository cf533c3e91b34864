// SPDX-License-Identifier: MIT
#include "transport/HIDUSB.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "status/StatusCodes.h"
#include "transport/CallDeadline.h"
#include "transport/StatusNarrowing.h"
#include "transport/usb/UsbBackendChoice.h"

namespace {

unsigned MillisecondsOf(unsigned long timeout) {
  if (timeout == 0) return HIDUSB::kDefaultTimeout;
  return static_cast<unsigned>(std::min<unsigned long>(timeout, INT_MAX));
}

}  // namespace

HIDUSB::HIDUSB() : HIDUSB(MakeUsbBackend()) {}

HIDUSB::HIDUSB(std::unique_ptr<UsbBackend> usbBackend) : backend(std::move(usbBackend)) {}

HIDUSB::~HIDUSB() {
  HIDUSB::CloseInterface();
}

// A transport opened before is closed first: it then ends up open on the reader now configured,
// or not open at all.
long HIDUSB::OpenInterface() {
  CloseInterface();
  return EnumDevices(nullptr, true);
}

long HIDUSB::CloseInterface() {
  usbInterface.reset();
  // A device opened anew starts at a frame boundary: opening drains its IN pipe.
  requestBytesOwed = 0;
  replyBytesOwed = 0;
  inputLeftOver = false;
  return 0;
}

long HIDUSB::ResetInterface() {
  CloseInterface();
  return OpenInterface();
}

// Brings the link back to a frame boundary at once, as a write does when it has to.
long HIDUSB::ClearInternalBuffers() {
  if (!usbInterface) return 0;
  inputLeftOver = true;
  CallDeadline deadline(kDefaultTimeout);
  return Resynchronise(deadline);
}

// A request frame left unfinished (its first packet announced more than was sent) would swallow
// the next frame's packets on the reader's side: it is completed with zero packets, whose CRC the
// reader refuses, and that answer is awaited. The rest of a reply read only in part is awaited
// too, since the reader may still be sending it. Then whatever else the reader sent and nobody
// read (late replies) is discarded.
long HIDUSB::Resynchronise(CallDeadline& deadline) {
  if (requestBytesOwed > 0) {
    unsigned char filler[kPacketSize] = {};
    while (requestBytesOwed > 0) {
      unsigned long written = 0;
      const long result = Write(filler, kPacketSize, written, deadline.RemainingMs());
      if (result != 0) return result;
      requestBytesOwed -= std::min(requestBytesOwed, kPacketSize);
    }
    SkipReply(deadline);
    inputLeftOver = true;
  }
  SkipReplyRest(deadline);
  if (!inputLeftOver) return 0;
  if (!usbInterface) return device_notfound;
  inputLeftOver = false;
  const long drained = usbInterface->AbortInPipe();
  return drained != 0 ? NarrowStatus(drained) : 0;
}

void HIDUSB::SkipReply(CallDeadline& deadline) {
  unsigned char packet[kPacketSize];
  unsigned long count = 0;
  if (Read(packet, kPacketSize, count, deadline.RemainingMs()) != 0 || count < 5) return;
  const unsigned long expected = packet[3] + 256ul * packet[4] + 7;
  replyBytesOwed = expected > count ? expected - count : 0;
  SkipReplyRest(deadline);
}

// Gives up quietly at the deadline: the drain after it takes what has come by then.
void HIDUSB::SkipReplyRest(CallDeadline& deadline) {
  unsigned char packet[kPacketSize];
  while (replyBytesOwed > 0) {
    const unsigned long left = deadline.LeftMs();
    if (left == 0) break;
    unsigned long count = 0;
    if (Read(packet, kPacketSize, count, left) != 0 || count == 0) break;
    replyBytesOwed -= std::min(replyBytesOwed, count);
  }
  replyBytesOwed = 0;
}

long HIDUSB::SetBaudRate(long rate) {
  baudRate = static_cast<int32_t>(rate);
  return 0;
}

long HIDUSB::SetPort(short index) {
  port = static_cast<uint8_t>(index);
  return 0;
}

short HIDUSB::GetPort() const {
  return port;
}

unsigned long HIDUSB::GetVendorID() const {
  return vendorID;
}

unsigned long HIDUSB::GetProductID() const {
  return productID;
}

long HIDUSB::SetVendorID(unsigned long id) {
  vendorID = static_cast<uint32_t>(id);
  return 0;
}

long HIDUSB::SetProductID(unsigned long id) {
  productID = static_cast<uint32_t>(id);
  return 0;
}

long HIDUSB::EnumDevices() {
  return EnumDevices(nullptr, true);
}

long HIDUSB::EnumDevices(int* count) {
  return EnumDevices(count, false);
}

long HIDUSB::EnumDevices(int* count, bool open) {
  if (!backend) return device_notfound;
  std::vector<UsbDeviceInfo> devices;
  const long listed = backend->ListDevices(devices);
  if (listed != 0) return NarrowStatus(listed);

  int matchIndex = 0;
  for (const UsbDeviceInfo& device : devices) {
    if (device.vendorId != GetVendorID() || device.productId != GetProductID()) continue;
    if (open && matchIndex == port) return GetUSBInterface(device);
    ++matchIndex;
  }
  if (count != nullptr) *count = matchIndex;
  return open ? device_notfound : 0;
}

long HIDUSB::GetUSBInterface(const UsbDeviceInfo& device) {
  if (!backend) return device_notfound;
  usbInterface.reset();  // an interface opened earlier would hold the device
  std::unique_ptr<UsbDeviceHandle> opened;
  const long result = backend->OpenDevice(device, opened);
  if (result != 0) return NarrowStatus(result);
  if (!opened) return no_dev_info;
  const long aborted = opened->AbortInPipe();
  if (aborted != 0) return NarrowStatus(aborted);
  usbInterface = std::move(opened);
  return 0;
}

long HIDUSB::Write(unsigned char* data, unsigned long length, unsigned long& done,
                   unsigned long timeout) {
  if (!usbInterface) return device_notfound;
  const long result = usbInterface->WritePacket(data, length, MillisecondsOf(timeout));
  if (result != 0) return NarrowStatus(result);
  done = length;
  return 0;
}

long HIDUSB::Read(unsigned char* data, unsigned long size, unsigned long& done,
                  unsigned long timeout) {
  if (!usbInterface) return device_notfound;
  size_t received = 0;
  const long result = usbInterface->ReadPacket(data, size, received, MillisecondsOf(timeout));
  if (result != 0) return NarrowStatus(result);
  done = received;
  return 0;
}

// Every packet is a full 32 bytes. The tail of the last packet keeps what the packet buffer held
// before (zeros, or bytes of the previous chunk); the reader ignores it, as the frame carries its
// own length. Each write is one whole frame, and the time-out bounds all of its packets.
long HIDUSB::WriteBytesUnblocked(unsigned char* data, unsigned long length, unsigned long& done,
                                 unsigned long timeout) {
  if (data == nullptr && length > 0) return no_buff;
  CallDeadline deadline(MillisecondsOf(timeout));
  if (const long result = Resynchronise(deadline)) return result;
  unsigned char packet[kPacketSize] = {};
  for (unsigned long sent = 0; sent < length;) {
    const unsigned long chunk = std::min(length - sent, kPacketSize);
    std::memcpy(packet, data + sent, chunk);
    // The reader takes a packet starting with the start byte as the start of a frame of the length
    // it announces, and collects packets until it has that many bytes.
    if (sent == 0 && packet[0] == kFrameStart) requestBytesOwed = packet[3] + 256ul * packet[4] + 7;
    unsigned long written = 0;
    const long result = Write(packet, kPacketSize, written, deadline.RemainingMs());
    if (result != 0) return result;
    requestBytesOwed -= std::min(requestBytesOwed, kPacketSize);
    sent += chunk;
  }
  done = length;
  return 0;
}

// Collects packets until the frame announced by the first packet's length field (bytes 3 and 4,
// plus 7 bytes of header and CRC) is complete, all within the time-out. done is the byte count of
// the whole packets. A first packet too short to hold the length field, or an empty packet before
// the frame is complete, ends the frame early (7005) instead of waiting on a reader that has
// stopped making progress. A reply not read to its end leaves packets behind, which the next
// write discards first.
long HIDUSB::ReadBytesUnblocked(unsigned char* data, unsigned long size, unsigned long& done,
                                unsigned long timeout) {
  if (data == nullptr) return no_buff;
  CallDeadline deadline(MillisecondsOf(timeout));
  unsigned long received = 0;
  unsigned long expected = kPacketSize;  // until the first packet tells
  while (received < expected) {
    const unsigned long left = deadline.LeftMs();
    if (left == 0) return LeftUnread(no_reader_resp, expected - received);
    // A packet goes straight into data when a whole one fits there.
    unsigned char packet[kPacketSize];
    unsigned char* into = size - received >= kPacketSize ? data + received : packet;
    unsigned long count = 0;
    const long result = Read(into, kPacketSize, count, left);
    if (received == 0) {
      if (result != 0) return LeftUnread(result, 0);
      if (count < 5) return LeftUnread(resp_too_short, 0);
      expected = into[3] + 256ul * into[4] + 7;
    } else {
      if (result != 0) return LeftUnread(result, expected - received);
      if (count == 0) return LeftUnread(resp_too_short, expected - received);
    }
    if (received + count > size) {
      return LeftUnread(resp_too_long, expected - std::min(expected, received + count));
    }
    if (into == packet) std::memcpy(data + received, packet, count);
    received += count;
  }
  done = received;
  return 0;
}

long HIDUSB::LeftUnread(long status, unsigned long unreadBytes) {
  inputLeftOver = true;
  replyBytesOwed = unreadBytes;
  return status;
}
