// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "transport/usb/UsbBackend.h"
#include "transport/usb/VirtualBusConnection.h"

// Reaches the reader simulator's virtual USB bus over the Unix-domain socket named by the
// environment variable NORVEX_SIMULATOR, read afresh at every listing and every opening.
//
// A listing asks the simulator for its attached readers ('L'); an opening checks the entry against
// a listing on its connection and asks for that reader ('O'), after which the connection belongs
// to the reader and carries its 32-byte packets ('P') both ways. The connection of the last
// listing is kept for the opening that usually follows it (while the variable names the same
// socket), which then needs no connection and listing of its own. Without the variable the bus has
// no devices.
class VirtualBusBackend : public UsbBackend {
 public:
  static constexpr const char* kSocketVariable = "NORVEX_SIMULATOR";
  // How long a listing or an opening may take altogether: connecting, then every request.
  static constexpr unsigned kControlTimeoutMs = 2000;

  VirtualBusBackend() = default;
  ~VirtualBusBackend() override = default;

  long ListDevices(std::vector<UsbDeviceInfo>& devices) override;
  long OpenDevice(const UsbDeviceInfo& device, std::unique_ptr<UsbDeviceHandle>& handle) override;

 private:
  using Deadline = VirtualBusConnection::Deadline;

  static long Connect(Deadline& deadline, std::unique_ptr<VirtualBusConnection>& connection);
  static long ListOver(VirtualBusConnection& connection, Deadline& deadline,
                       std::vector<UsbDeviceInfo>& devices);
  static long Request(VirtualBusConnection& connection, uint8_t type, const uint8_t* payload,
                      size_t length, Deadline& deadline, std::vector<uint8_t>& reply);
  // Asks for the reader at index ('O'); on success the connection becomes the handle's.
  static long RequestOpen(std::unique_ptr<VirtualBusConnection>& connection, uint8_t index,
                          Deadline& deadline, std::unique_ptr<UsbDeviceHandle>& handle);
  // What is left of the deadline, at least 1 ms (a time-out of 0 would not wait at all).
  static unsigned Milliseconds(Deadline& deadline);
  // The connection of the last listing and what it listed, when the variable still names the
  // socket it went to; false (and nothing taken) otherwise. Taking it leaves none kept.
  bool TakeListed(std::unique_ptr<VirtualBusConnection>& connection,
                  std::vector<UsbDeviceInfo>& devices);

  std::unique_ptr<VirtualBusConnection> listed;
  std::vector<UsbDeviceInfo> listedDevices;
  std::string listedPath;
};
