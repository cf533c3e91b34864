// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "transport/usb/UsbBackend.h"
#include "transport/usb/VirtualBusProtocol.h"

class VirtualBusConnection;

// A reader opened on the virtual bus: its connection now carries only that reader's packets.
// Closing the handle closes the connection, which releases the reader in the simulator; it returns
// once the simulator has done so.
class VirtualBusDevice : public UsbDeviceHandle {
 public:
  static constexpr size_t kPacketSize = virtualbus::kPacketSize;

  explicit VirtualBusDevice(std::unique_ptr<VirtualBusConnection> connection);
  ~VirtualBusDevice() override;

  long AbortInPipe() override;
  // Packets shorter than 32 bytes are padded with zeros: the bus carries whole packets only.
  long WritePacket(const uint8_t* data, size_t length, unsigned timeoutMs) override;
  long ReadPacket(uint8_t* data, size_t capacity, size_t& received, unsigned timeoutMs) override;

 private:
  std::unique_ptr<VirtualBusConnection> connection;
};
