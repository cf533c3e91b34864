// SPDX-License-Identifier: MIT
#include "transport/usb/LibusbBackend.h"

#include <libusb.h>

#include <algorithm>
#include <utility>

#include "status/StatusCodes.h"
#include "transport/usb/LibusbContext.h"
#include "transport/usb/LibusbDevice.h"
#include "transport/usb/LibusbError.h"
#include "transport/usb/LibusbPipes.h"
#include "transport/usb/LibusbTopology.h"

namespace {

struct DeviceListDeleter {
  void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*[], DeviceListDeleter>;

struct ConfigDeleter {
  void operator()(libusb_config_descriptor* config) const { libusb_free_config_descriptor(config); }
};
using ConfigDescriptor = std::unique_ptr<libusb_config_descriptor, ConfigDeleter>;

struct HandleCloser {
  void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
using OpenHandle = std::unique_ptr<libusb_device_handle, HandleCloser>;

struct ListedDevice {
  libusb_device* device;
  UsbDeviceInfo info;
  std::vector<uint8_t> location;  // bus number, then the port numbers down the hubs
};

std::vector<uint8_t> LocationOf(libusb_device* device) {
  uint8_t ports[8] = {};
  const int depth = libusb_get_port_numbers(device, ports, sizeof(ports));
  return TopologyKey(libusb_get_bus_number(device), ports, depth,
                     libusb_get_device_address(device));
}

// Every device whose descriptor can be read, in topology order. The listed devices stay valid
// as long as list does.
long ListAll(libusb_context* context, DeviceList& list, std::vector<ListedDevice>& devices) {
  libusb_device** raw = nullptr;
  const ssize_t count = libusb_get_device_list(context, &raw);
  if (count < 0) return TranslateLibusbError(static_cast<int>(count));
  list.reset(raw);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(raw[i], &descriptor) != 0) continue;
    devices.push_back({raw[i], {0, descriptor.idVendor, descriptor.idProduct}, LocationOf(raw[i])});
  }
  std::vector<std::vector<uint8_t>> keys;
  for (const ListedDevice& entry : devices) keys.push_back(entry.location);
  std::vector<ListedDevice> ordered;
  for (size_t index : TopologyOrder(keys)) ordered.push_back(devices[index]);
  devices = std::move(ordered);
  for (size_t i = 0; i < devices.size(); ++i) devices[i].info.position = i;
  return 0;
}

// The pipes of the active configuration's first interface.
long FindPipes(libusb_device* device, int& interfaceNumber, LibusbDevice::Pipe& in,
               LibusbDevice::Pipe& out) {
  libusb_config_descriptor* raw = nullptr;
  const int result = libusb_get_active_config_descriptor(device, &raw);
  if (result != 0) return TranslateLibusbError(result);
  const ConfigDescriptor config(raw);
  return SelectPipes(*config, interfaceNumber, in, out);
}

}  // namespace

LibusbBackend::LibusbBackend() : context(std::make_shared<LibusbContext>()) {}

LibusbBackend::~LibusbBackend() = default;

long LibusbBackend::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  if (context->InitResult() != 0) return TranslateLibusbError(context->InitResult());
  DeviceList list;
  std::vector<ListedDevice> listed;
  const long result = ListAll(context->Get(), list, listed);
  if (result != 0) return result;
  for (const ListedDevice& entry : listed) devices.push_back(entry.info);
  return 0;
}

long LibusbBackend::OpenDevice(const UsbDeviceInfo& wanted,
                               std::unique_ptr<UsbDeviceHandle>& handle) {
  if (context->InitResult() != 0) return TranslateLibusbError(context->InitResult());
  DeviceList list;
  std::vector<ListedDevice> listed;
  long result = ListAll(context->Get(), list, listed);
  if (result != 0) return result;
  if (wanted.position >= listed.size()) return device_notfound;
  const ListedDevice& entry = listed[wanted.position];
  if (entry.info.vendorId != wanted.vendorId || entry.info.productId != wanted.productId)
    return device_notfound;

  int interfaceNumber = 0;
  LibusbDevice::Pipe in;
  LibusbDevice::Pipe out;
  result = FindPipes(entry.device, interfaceNumber, in, out);
  if (result != 0) return result;

  libusb_device_handle* raw = nullptr;
  int status = libusb_open(entry.device, &raw);
  if (status != 0) return TranslateLibusbError(status);
  OpenHandle opened(raw);
  libusb_set_auto_detach_kernel_driver(raw, 1);  // not every platform supports it; claiming tells
  status = libusb_claim_interface(raw, interfaceNumber);
  if (status != 0) return TranslateLibusbError(status);
  handle = std::make_unique<LibusbDevice>(context, opened.release(), interfaceNumber, in, out);
  return 0;
}
