// SPDX-License-Identifier: MIT
#include "transport/usb/VirtualBusBackend.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "status/StatusCodes.h"
#include "transport/usb/VirtualBusConnection.h"
#include "transport/usb/VirtualBusDevice.h"
#include "transport/usb/VirtualBusProtocol.h"

long VirtualBusBackend::Connect(Deadline& deadline,
                                std::unique_ptr<VirtualBusConnection>& connection) {
  const char* path = std::getenv(kSocketVariable);
  if (path == nullptr || path[0] == '\0') return device_notfound;
  return VirtualBusConnection::Connect(path, Milliseconds(deadline), connection);
}

unsigned VirtualBusBackend::Milliseconds(Deadline& deadline) {
  return static_cast<unsigned>(std::max(deadline.RemainingMs(), 1));
}

// Sends one control message and waits for the simulator's answer of the same type.
long VirtualBusBackend::Request(VirtualBusConnection& connection, uint8_t type,
                                const uint8_t* payload, size_t length, Deadline& deadline,
                                std::vector<uint8_t>& reply) {
  const long sent = connection.Send(type, payload, length, Milliseconds(deadline));
  if (sent != 0) return sent;
  VirtualBusConnection::MessageView answer;
  const long received = connection.Receive(answer, deadline);
  if (received != 0) return received;
  if (answer.type != type) return EPROTO;
  reply.assign(answer.payload, answer.payload + answer.length);
  return 0;
}

long VirtualBusBackend::ListOver(VirtualBusConnection& connection, Deadline& deadline,
                                 std::vector<UsbDeviceInfo>& devices) {
  std::vector<uint8_t> reply;
  const long result = Request(connection, virtualbus::kList, nullptr, 0, deadline, reply);
  if (result != 0) return result;
  if (reply.size() % virtualbus::kListEntrySize != 0) return EPROTO;
  for (size_t offset = 0; offset < reply.size(); offset += virtualbus::kListEntrySize) {
    const virtualbus::DeviceEntry entry = virtualbus::DecodeListEntry(&reply[offset]);
    devices.push_back({offset / virtualbus::kListEntrySize, entry.vendorId, entry.productId});
  }
  return 0;
}

long VirtualBusBackend::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  listed.reset();
  const char* path = std::getenv(kSocketVariable);
  if (path == nullptr || path[0] == '\0') return 0;  // no bus, no devices
  Deadline deadline(kControlTimeoutMs);
  std::unique_ptr<VirtualBusConnection> connection;
  long result = VirtualBusConnection::Connect(path, Milliseconds(deadline), connection);
  if (result == 0) result = ListOver(*connection, deadline, devices);
  if (result != 0) {
    devices.clear();
    return result;
  }
  listed = std::move(connection);
  listedDevices = devices;
  listedPath = path;
  return 0;
}

bool VirtualBusBackend::TakeListed(std::unique_ptr<VirtualBusConnection>& connection,
                                   std::vector<UsbDeviceInfo>& devices) {
  if (!listed) return false;
  std::unique_ptr<VirtualBusConnection> kept = std::move(listed);
  const char* path = std::getenv(kSocketVariable);
  if (path == nullptr || listedPath != path) return false;
  connection = std::move(kept);
  devices.swap(listedDevices);
  return true;
}

long VirtualBusBackend::OpenDevice(const UsbDeviceInfo& device,
                                   std::unique_ptr<UsbDeviceHandle>& handle) {
  Deadline deadline(kControlTimeoutMs);
  std::unique_ptr<VirtualBusConnection> connection;
  // The index of an opening refers to the list as this connection sees it.
  std::vector<UsbDeviceInfo> devices;
  if (!TakeListed(connection, devices)) {
    if (const long result = Connect(deadline, connection); result != 0) return result;
    if (const long result = ListOver(*connection, deadline, devices); result != 0) return result;
  }
  if (device.position >= devices.size() || device.position > 0xFF ||
      devices[device.position].vendorId != device.vendorId ||
      devices[device.position].productId != device.productId) {
    return device_notfound;
  }

  // From the open request on, the simulator may hold the reader for this connection: should the
  // handle not come about (no answer in time, memory ran out), the connection is closed as a
  // handle closes it, awaiting the simulator, so that an immediate retry does not find the reader
  // still busy.
  long result = 0;
  try {
    result = RequestOpen(connection, static_cast<uint8_t>(device.position), deadline, handle);
  } catch (...) {
    if (connection) connection->CloseAndAwaitPeer(kControlTimeoutMs);
    throw;
  }
  if (result != 0 && connection) connection->CloseAndAwaitPeer(kControlTimeoutMs);
  return result;
}

long VirtualBusBackend::RequestOpen(std::unique_ptr<VirtualBusConnection>& connection,
                                    uint8_t index, Deadline& deadline,
                                    std::unique_ptr<UsbDeviceHandle>& handle) {
  std::vector<uint8_t> reply;
  const long result = Request(*connection, virtualbus::kOpen, &index, 1, deadline, reply);
  if (result != 0) return result;
  if (reply.size() != 1) return EPROTO;
  switch (reply[0]) {
    case virtualbus::kOpened:
      handle = std::make_unique<VirtualBusDevice>(std::move(connection));
      return 0;
    case virtualbus::kNoSuchDevice:
      return device_notfound;
    case virtualbus::kAlreadyOpen:
      return EBUSY;
    default:
      return EPROTO;
  }
}
