#include "transport/usb/VirtualBusBackend.h"

#include <cerrno>
#include <cstdlib>

#include "status/StatusCodes.h"
#include "transport/usb/VirtualBusConnection.h"
#include "transport/usb/VirtualBusDevice.h"

namespace {

constexpr uint8_t kList = 'L';
constexpr uint8_t kOpen = 'O';
constexpr size_t kListEntrySize = 4;  // vendor ID, product ID, both 16-bit little-endian

// Answers of the simulator to an opening.
constexpr uint8_t kOpened = 0;
constexpr uint8_t kNoSuchDevice = 1;
constexpr uint8_t kAlreadyOpen = 2;

uint16_t Little16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace

long VirtualBusBackend::Connect(std::unique_ptr<VirtualBusConnection>& connection) {
  const char* path = std::getenv(kSocketVariable);
  if (path == nullptr || path[0] == '\0') return device_notfound;
  return VirtualBusConnection::Connect(path, connection);
}

// Sends one control message and waits for the simulator's answer of the same type.
long VirtualBusBackend::Request(VirtualBusConnection& connection, uint8_t type,
                                const uint8_t* payload, size_t length,
                                std::vector<uint8_t>& reply) {
  const long sent = connection.Send(type, payload, length, kControlTimeoutMs);
  if (sent != 0) return sent;
  VirtualBusConnection::Message answer;
  const long received = connection.Receive(answer, kControlTimeoutMs);
  if (received != 0) return received;
  if (answer.type != type) return EPROTO;
  reply = std::move(answer.payload);
  return 0;
}

long VirtualBusBackend::ListOver(VirtualBusConnection& connection,
                                 std::vector<UsbDeviceInfo>& devices) {
  std::vector<uint8_t> reply;
  const long result = Request(connection, kList, nullptr, 0, reply);
  if (result != 0) return result;
  if (reply.size() % kListEntrySize != 0) return EPROTO;
  for (size_t offset = 0; offset < reply.size(); offset += kListEntrySize) {
    devices.push_back(
        {offset / kListEntrySize, Little16(&reply[offset]), Little16(&reply[offset + 2])});
  }
  return 0;
}

long VirtualBusBackend::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  const char* path = std::getenv(kSocketVariable);
  if (path == nullptr || path[0] == '\0') return 0;  // no bus, no devices
  std::unique_ptr<VirtualBusConnection> connection;
  long result = VirtualBusConnection::Connect(path, connection);
  if (result == 0) result = ListOver(*connection, devices);
  if (result != 0) devices.clear();
  return result;
}

long VirtualBusBackend::OpenDevice(const UsbDeviceInfo& device,
                                   std::unique_ptr<UsbDeviceHandle>& handle) {
  std::unique_ptr<VirtualBusConnection> connection;
  long result = Connect(connection);
  if (result != 0) return result;

  // The index of an opening refers to the list as this connection sees it.
  std::vector<UsbDeviceInfo> devices;
  result = ListOver(*connection, devices);
  if (result != 0) return result;
  if (device.position >= devices.size() || device.position > 0xFF ||
      devices[device.position].vendorId != device.vendorId ||
      devices[device.position].productId != device.productId) {
    return device_notfound;
  }

  const uint8_t index = static_cast<uint8_t>(device.position);
  std::vector<uint8_t> reply;
  result = Request(*connection, kOpen, &index, 1, reply);
  if (result != 0) return result;
  if (reply.size() != 1) return EPROTO;
  switch (reply[0]) {
    case kOpened:
      handle = std::make_unique<VirtualBusDevice>(std::move(connection));
      return 0;
    case kNoSuchDevice:
      return device_notfound;
    case kAlreadyOpen:
      return EBUSY;
    default:
      return EPROTO;
  }
}
