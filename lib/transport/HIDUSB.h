// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>

#include "transport/ReaderInterface.h"
#include "transport/usb/UsbBackend.h"

class CallDeadline;

// The USB transport of the reader family.
//
// Finds the port-th attached device with the configured vendor and product ID, claims its first
// interface, sends each frame as 32-byte packets on pipe 2 and reassembles each reply frame from
// 32-byte packets on pipe 1 using the frame's own length field. The platform is reached only
// through a UsbBackend (the real USB or the simulator's virtual bus).
//
// Timeouts are in milliseconds; 0 stands for the default of 2000. A time-out bounds a whole
// frame, not each packet: a reader that stays silent or trickles its packets yields 8038
// (no_reader_resp) instead of holding the caller. A transport that is not open fails every
// transfer with 3002 (device_notfound).
//
// Every write starts at a frame boundary on both sides: a reply not read to its end (a time-out,
// a late reply, raw access reading part of a frame) is discarded first, and a request frame left
// unfinished by an earlier write is completed first (see Resynchronise). On a clean link this
// costs nothing.
class HIDUSB : public ReaderInterface {
 public:
  static constexpr unsigned long kVendorId = 0x2E5A;
  static constexpr unsigned long kPacketSize = 32;
  static constexpr unsigned long kDefaultTimeout = 2000;
  static constexpr unsigned char kFrameStart = 0xA5;

  // Uses the backend that MakeUsbBackend picks.
  HIDUSB();
  explicit HIDUSB(std::unique_ptr<UsbBackend> backend);
  ~HIDUSB() override;

  long OpenInterface() override;
  long CloseInterface() override;
  long ResetInterface() override;
  // Brings the link back to a frame boundary now: completes an unfinished request frame and
  // discards every packet the reader has sent and nobody has read.
  long ClearInternalBuffers() override;
  long WriteBytesUnblocked(unsigned char* data, unsigned long length, unsigned long& done,
                           unsigned long timeout) override;
  long ReadBytesUnblocked(unsigned char* data, unsigned long size, unsigned long& done,
                          unsigned long timeout) override;
  long SetBaudRate(long rate) override;
  long SetPort(short index) override;
  short GetPort() const override;

  virtual unsigned long GetVendorID() const;
  virtual unsigned long GetProductID() const;
  virtual long SetVendorID(unsigned long id);
  virtual long SetProductID(unsigned long id);
  // One transfer of length bytes to pipe 2.
  virtual long Write(unsigned char* data, unsigned long length, unsigned long& done,
                     unsigned long timeout);
  // One packet of at most size bytes from pipe 1.
  virtual long Read(unsigned char* data, unsigned long size, unsigned long& done,
                    unsigned long timeout);

  long GetBaudRate() const { return baudRate; }
  unsigned char GetDevicePort() const { return port; }

  // Finds and opens the port-th matching device (3002 when there is none).
  long EnumDevices();
  // Counts the matching devices without opening any.
  long EnumDevices(int* count);
  // Walks the matching devices; with open, opens the port-th and stops there (3002 when it is
  // missing); count, when given and the walk reaches the end, receives the number of matches.
  long EnumDevices(int* count, bool open);
  // Opens a listed device and discards whatever it had queued on its IN pipe.
  long GetUSBInterface(const UsbDeviceInfo& device);

 private:
  long Resynchronise(CallDeadline& deadline);
  // Reads one reply frame, or the rest of one, and drops it.
  void SkipReply(CallDeadline& deadline);
  void SkipReplyRest(CallDeadline& deadline);
  // Notes that packets may be left unread (unreadBytes of them the rest of the frame being read),
  // and passes the status on.
  long LeftUnread(long status, unsigned long unreadBytes);

  uint8_t port = 0;
  int32_t baudRate = 0;
  uint32_t vendorID = kVendorId;
  uint32_t productID = 0;
  std::unique_ptr<UsbBackend> backend;            // outlives the opened device
  std::unique_ptr<UsbDeviceHandle> usbInterface;  // null while closed
  unsigned long requestBytesOwed = 0;  // the reader still expects this much of a request frame
  unsigned long replyBytesOwed = 0;    // the rest of a reply frame read only in part
  bool inputLeftOver = false;          // the reader may have sent packets nobody read
};
