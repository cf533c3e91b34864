// SPDX-License-Identifier: MIT
#pragma once

#include <libusb.h>

#include <cstdint>
#include <memory>

#include "transport/usb/UsbBackend.h"

class LibusbContext;

// A real USB reader opened through libusb, with its first interface claimed. Pipe 1 is the
// interface's first endpoint (IN), pipe 2 its second (OUT); each is driven with interrupt or bulk
// transfers according to its endpoint type.
class LibusbDevice : public UsbDeviceHandle {
 public:
  struct Pipe {
    unsigned char address = 0;
    bool interrupt = true;  // otherwise bulk
  };

  // Takes over an open device handle whose interface is already claimed.
  LibusbDevice(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle,
               int interfaceNumber, Pipe in, Pipe out);
  ~LibusbDevice() override;

  long AbortInPipe() override;
  long WritePacket(const uint8_t* data, size_t length, unsigned timeoutMs) override;
  long ReadPacket(uint8_t* data, size_t capacity, size_t& received, unsigned timeoutMs) override;

 private:
  int Transfer(const Pipe& pipe, unsigned char* data, int length, int& transferred,
               unsigned timeoutMs);

  std::shared_ptr<LibusbContext> context;  // outlives the handle
  libusb_device_handle* handle;
  int interfaceNumber;
  Pipe inPipe;
  Pipe outPipe;
};
