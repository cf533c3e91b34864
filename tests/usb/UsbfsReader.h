// SPDX-License-Identifier: MIT
#pragma once
// A simulated reader behind an emulated usbfs device node (/dev/bus/usb/BBB/DDD) of a umockdev
// testbed: answers the ioctls libusb issues on a USB device file (claiming, submitting, reaping and
// discarding URBs) and runs the packets of the two interrupt pipes through a VirtualReader, as the
// reader's firmware would.

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "sim/device/FrameAssembler.h"
#include "sim/reader/VirtualReader.h"

class UsbfsReader {
 public:
  static constexpr uint8_t kInEndpoint = 0x81;   // pipe 1, the interface's first endpoint
  static constexpr uint8_t kOutEndpoint = 0x02;  // pipe 2, its second

  // Serves reader on the device node devnode of testbed until destroyed.
  UsbfsReader(UMockdevTestbed* testbed, const char* devnode, norvexsim::VirtualReader& reader);
  ~UsbfsReader();
  UsbfsReader(const UsbfsReader&) = delete;
  UsbfsReader& operator=(const UsbfsReader&) = delete;

  // Whether the device node answers through this object.
  bool Attached() const { return attached_; }
  // The device stops answering: OUT packets are accepted, IN URBs stay pending until discarded.
  void SetSilent(bool silent);
  // URBs libusb has discarded so far (a transfer it gave up on, such as a timed-out read).
  int DiscardedUrbs() const;
  // Interfaces claimed and not yet released.
  int ClaimedInterfaces() const;

 private:
  struct Urb {
    UMockdevIoctlData* urb;     // the client's struct usbdevfs_urb, resolved
    UMockdevIoctlData* buffer;  // its data buffer, resolved
  };

  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  long Handle(unsigned long request, UMockdevIoctlData* arg, int& error);
  long Submit(UMockdevIoctlData* arg, int& error);
  long Reap(UMockdevIoctlData* arg, int& error);
  long Discard(UMockdevIoctlData* arg, int& error);
  void OutPacket(const Urb& urb);
  void ServeInUrbs();
  void Complete(const Urb& urb, int status, int actualLength);
  void ReleaseReaped();

  UMockdevTestbed* testbed_;
  std::vector<char> devnode_;
  norvexsim::VirtualReader& reader_;
  UMockdevIoctlBase* handler_;
  bool attached_ = false;
  mutable std::mutex mutex_;
  norvexsim::FrameAssembler assembler_;
  std::deque<norvexsim::Packet> inPackets_;
  std::deque<Urb> pendingIn_;
  std::deque<Urb> completed_;
  std::deque<Urb> reaped_;  // handed to the client by the ioctl being completed
  bool silent_ = false;
  int discarded_ = 0;
  int claimed_ = 0;
};
