// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

#include "transport/usb/UsbBackend.h"

class LibusbContext;

// Real USB devices through libusb, one libusb session per backend object.
//
// Devices are listed in the order of their place in the USB topology (bus number, then the port
// path), which stays the same while the devices stay plugged where they are. Opening uses the
// configuration the system has already selected and claims the first interface of it, detaching
// a kernel driver (such as the HID driver) for as long as the interface is held.
class LibusbBackend : public UsbBackend {
 public:
  LibusbBackend();
  ~LibusbBackend() override;

  long ListDevices(std::vector<UsbDeviceInfo>& devices) override;
  long OpenDevice(const UsbDeviceInfo& device, std::unique_ptr<UsbDeviceHandle>& handle) override;

 private:
  std::shared_ptr<LibusbContext> context;
};
