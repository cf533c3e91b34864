#include "transport/usb/VirtualBusDevice.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "status/StatusCodes.h"
#include "transport/usb/VirtualBusConnection.h"

namespace {

constexpr uint8_t kPacket = 'P';
constexpr uint8_t kAbort = 'A';
constexpr unsigned kAbortTimeoutMs = 1000;

}  // namespace

VirtualBusDevice::VirtualBusDevice(std::unique_ptr<VirtualBusConnection> busConnection)
    : connection(std::move(busConnection)) {}

VirtualBusDevice::~VirtualBusDevice() = default;

long VirtualBusDevice::AbortInPipe() {
  const long sent = connection->Send(kAbort, nullptr, 0, kAbortTimeoutMs);
  if (sent != 0) return sent;
  return connection->DiscardArrived();
}

long VirtualBusDevice::WritePacket(const uint8_t* data, size_t length, unsigned timeoutMs) {
  if (length > kPacketSize) return EMSGSIZE;
  uint8_t packet[kPacketSize] = {};
  if (length > 0) std::memcpy(packet, data, length);
  return connection->Send(kPacket, packet, kPacketSize, timeoutMs);
}

long VirtualBusDevice::ReadPacket(uint8_t* data, size_t capacity, size_t& received,
                                  unsigned timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  VirtualBusConnection::Message message;
  // Anything but a packet has no meaning on an opened connection and is passed over.
  do {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const long result = connection->Receive(message, left > 0 ? static_cast<unsigned>(left) : 0);
    if (result != 0) return result;
  } while (message.type != kPacket);

  if (message.payload.size() > capacity) return EOVERFLOW;
  if (!message.payload.empty()) std::memcpy(data, message.payload.data(), message.payload.size());
  received = message.payload.size();
  return 0;
}
