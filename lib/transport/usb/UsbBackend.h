// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The platform operations the USB transport needs, and nothing more.
//
// A reader exchanges fixed 32-byte packets over two pipes of its first interface: pipe 2 towards
// the reader (OUT), pipe 1 from the reader (IN); pipes are numbered from 1 in the order of the
// interface's endpoint descriptors.
//
// Every operation returns a library status code, 0 on success. Platform failures are translated
// at the backend boundary, and only there, into:
//   3002 (device_notfound)  the device is not (or no longer) there: unplugged, link closed, no such
//                           entry in the list;
//   3005 (no_dev_info)      the device has no usable first interface (no interface, or not the two
//                           endpoints of an IN and an OUT pipe);
//   8038 (no_reader_resp)   a transfer did not complete within its timeout;
//   a system error number   (errno, e.g. EBUSY when another program holds the device, EIO,
//                           EPROTO) for any other platform failure; GetErrorText gives its
//                           system text.
// Timeouts are in milliseconds; a timeout of 0 is taken as 1 ms, never as "wait forever".

// One attached device as listed by UsbBackend::ListDevices.
struct UsbDeviceInfo {
  size_t position = 0;  // index in the list it came from
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

// An opened device whose first interface is held for exclusive use. Destroying the handle
// releases the interface and closes the device.
class UsbDeviceHandle {
 public:
  virtual ~UsbDeviceHandle() = default;

  // Discards IN packets the device has queued and the host has buffered but nobody has read yet.
  // Does not wait for the reader beyond a short drain. Fails with 3002 if the device is gone.
  virtual long AbortInPipe() = 0;

  // Writes one packet of at most 32 bytes to pipe 2. Blocks until the packet has gone out or
  // timeoutMs has passed (8038). Returns 0 only when the whole packet was transferred.
  virtual long WritePacket(const uint8_t* data, size_t length, unsigned timeoutMs) = 0;

  // Reads one packet from pipe 1 into data, which holds capacity bytes; received gets the packet's
  // length. Blocks until a packet arrives or timeoutMs has passed (8038). A packet longer than
  // capacity fails with EOVERFLOW and is lost.
  virtual long ReadPacket(uint8_t* data, size_t capacity, size_t& received, unsigned timeoutMs) = 0;

 protected:
  UsbDeviceHandle() = default;
  UsbDeviceHandle(const UsbDeviceHandle&) = delete;
  UsbDeviceHandle& operator=(const UsbDeviceHandle&) = delete;
};

class UsbBackend {
 public:
  virtual ~UsbBackend() = default;

  // Replaces devices with every attached USB device, in an order that stays the same while the
  // set of attached devices does. Does not block on any device. On failure devices is empty.
  virtual long ListDevices(std::vector<UsbDeviceInfo>& devices) = 0;

  // Opens the device that ListDevices reported (matched again by position, vendor and product ID;
  // 3002 if it is no longer there), claims its first interface for exclusive use (EBUSY when
  // someone else holds it) and hands the handle over. handle stays empty on failure.
  virtual long OpenDevice(const UsbDeviceInfo& device,
                          std::unique_ptr<UsbDeviceHandle>& handle) = 0;

 protected:
  UsbBackend() = default;
  UsbBackend(const UsbBackend&) = delete;
  UsbBackend& operator=(const UsbBackend&) = delete;
};
