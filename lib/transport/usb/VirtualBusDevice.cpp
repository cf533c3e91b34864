// SPDX-License-Identifier: MIT
#include "transport/usb/VirtualBusDevice.h"

#include <cerrno>
#include <cstring>

#include "status/StatusCodes.h"
#include "transport/usb/VirtualBusConnection.h"
#include "transport/usb/VirtualBusProtocol.h"

namespace {

constexpr unsigned kAbortTimeoutMs = 1000;
constexpr unsigned kCloseTimeoutMs = 1000;

}  // namespace

VirtualBusDevice::VirtualBusDevice(std::unique_ptr<VirtualBusConnection> busConnection)
    : connection(std::move(busConnection)) {}

// Like releasing a real USB interface, closing returns once the reader is free again, so that the
// same or another host can open it at once.
VirtualBusDevice::~VirtualBusDevice() {
  connection->CloseAndAwaitPeer(kCloseTimeoutMs);
}

long VirtualBusDevice::AbortInPipe() {
  const long sent = connection->Send(virtualbus::kAbort, nullptr, 0, kAbortTimeoutMs);
  if (sent != 0) return sent;
  return connection->DiscardArrived();
}

long VirtualBusDevice::WritePacket(const uint8_t* data, size_t length, unsigned timeoutMs) {
  if (length > kPacketSize) return EMSGSIZE;
  if (length == kPacketSize) return connection->Send(virtualbus::kPacket, data, length, timeoutMs);
  uint8_t packet[kPacketSize] = {};
  if (length > 0) std::memcpy(packet, data, length);
  return connection->Send(virtualbus::kPacket, packet, kPacketSize, timeoutMs);
}

long VirtualBusDevice::ReadPacket(uint8_t* data, size_t capacity, size_t& received,
                                  unsigned timeoutMs) {
  VirtualBusConnection::Deadline deadline(timeoutMs);
  VirtualBusConnection::MessageView message;
  // Anything but a packet has no meaning on an opened connection and is passed over.
  do {
    const long result = connection->Receive(message, deadline);
    if (result != 0) return result;
  } while (message.type != virtualbus::kPacket);

  if (message.length > capacity) return EOVERFLOW;
  if (message.length > 0) std::memcpy(data, message.payload, message.length);
  received = message.length;
  return 0;
}
