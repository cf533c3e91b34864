// SPDX-License-Identifier: MIT
// The libusb backend's own rules: pipe choice from the descriptors, device order, error and
// timeout translation (tests/usb runs the backend end to end against an emulated device).

#include <gtest/gtest.h>
#include <libusb.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "status/StatusCodes.h"
#include "transport/usb/LibusbError.h"
#include "transport/usb/LibusbPipes.h"
#include "transport/usb/LibusbTimeout.h"
#include "transport/usb/LibusbTopology.h"

namespace {

TEST(LibusbBackend, TranslatesLibusbErrorsToStatusCodes) {
  const struct {
    int error;
    long status;
  } table[] = {
      {LIBUSB_SUCCESS, 0},
      {LIBUSB_ERROR_NO_DEVICE, device_notfound},
      {LIBUSB_ERROR_NOT_FOUND, device_notfound},
      {LIBUSB_ERROR_TIMEOUT, no_reader_resp},
      {LIBUSB_ERROR_IO, EIO},
      {LIBUSB_ERROR_INVALID_PARAM, EINVAL},
      {LIBUSB_ERROR_ACCESS, EACCES},
      {LIBUSB_ERROR_BUSY, EBUSY},
      {LIBUSB_ERROR_OVERFLOW, EOVERFLOW},
      {LIBUSB_ERROR_PIPE, EPIPE},
      {LIBUSB_ERROR_INTERRUPTED, EINTR},
      {LIBUSB_ERROR_NO_MEM, ENOMEM},
      {LIBUSB_ERROR_NOT_SUPPORTED, EOPNOTSUPP},
      {LIBUSB_ERROR_OTHER, EIO},
      {-1000, EIO},  // a code a later libusb might add
  };
  for (const auto& row : table)
    EXPECT_EQ(TranslateLibusbError(row.error), row.status) << libusb_error_name(row.error);
}

TEST(LibusbBackend, NeverHandsLibusbAZeroTimeout) {
  // libusb waits forever on 0; a caller's 0 means "do not wait".
  EXPECT_EQ(LibusbTimeout(0), 1u);
  EXPECT_EQ(LibusbTimeout(2000), 2000u);
  EXPECT_EQ(LibusbTimeout(UINT_MAX), UINT_MAX);
}

// Endpoint descriptors the way libusb parses them.
libusb_endpoint_descriptor Endpoint(uint8_t address, uint8_t type) {
  libusb_endpoint_descriptor endpoint{};
  endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
  endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
  endpoint.bEndpointAddress = address;
  endpoint.bmAttributes = type;
  endpoint.wMaxPacketSize = 32;
  return endpoint;
}

constexpr uint8_t kInt = LIBUSB_TRANSFER_TYPE_INTERRUPT;
constexpr uint8_t kBulk = LIBUSB_TRANSFER_TYPE_BULK;
constexpr uint8_t kIso = LIBUSB_TRANSFER_TYPE_ISOCHRONOUS;

// A configuration whose interfaces each have one alternate setting with the given endpoints.
struct Configuration {
  explicit Configuration(std::vector<std::vector<libusb_endpoint_descriptor>> perInterface,
                         uint8_t firstInterfaceNumber = 0)
      : endpoints(std::move(perInterface)) {
    for (size_t i = 0; i < endpoints.size(); ++i) {
      libusb_interface_descriptor setting{};
      setting.bInterfaceNumber = static_cast<uint8_t>(firstInterfaceNumber + i);
      setting.bNumEndpoints = static_cast<uint8_t>(endpoints[i].size());
      setting.endpoint = endpoints[i].data();
      settings.push_back(setting);
    }
    for (libusb_interface_descriptor& setting : settings) interfaces.push_back({&setting, 1});
    config.bNumInterfaces = static_cast<uint8_t>(interfaces.size());
    config.interface = interfaces.data();
  }
  std::vector<std::vector<libusb_endpoint_descriptor>> endpoints;
  std::vector<libusb_interface_descriptor> settings;
  std::vector<libusb_interface> interfaces;
  libusb_config_descriptor config{};
};

TEST(LibusbBackend, TakesPipesFromTheFirstInterfaceInDescriptorOrder) {
  const auto in = Endpoint(0x81, kInt);
  const auto out = Endpoint(0x02, kInt);
  const struct {
    const char* name;
    Configuration configuration;
    long status;
    int interfaceNumber;
    uint8_t inAddress, outAddress;
    bool interrupt;
  } table[] = {
      {"interrupt IN then OUT", Configuration({{in, out}}), 0, 0, 0x81, 0x02, true},
      {"bulk IN then OUT", Configuration({{Endpoint(0x83, kBulk), Endpoint(0x04, kBulk)}}), 0, 0,
       0x83, 0x04, false},
      {"a third endpoint is ignored", Configuration({{in, out, Endpoint(0x85, kInt)}}), 0, 0, 0x81,
       0x02, true},
      {"the first interface's own number", Configuration({{in, out}}, 2), 0, 2, 0x81, 0x02, true},
      {"OUT before IN", Configuration({{out, in}}), no_dev_info, 0, 0, 0, false},
      {"two IN endpoints", Configuration({{in, Endpoint(0x82, kInt)}}), no_dev_info, 0, 0, 0,
       false},
      {"isochronous", Configuration({{Endpoint(0x81, kIso), out}}), no_dev_info, 0, 0, 0, false},
      {"one endpoint", Configuration({{in}}), no_dev_info, 0, 0, 0, false},
      {"no interface", Configuration({}), no_dev_info, 0, 0, 0, false},
      {"only the second interface fits", Configuration({{in}, {in, out}}), no_dev_info, 0, 0, 0,
       false},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    int interfaceNumber = -1;
    LibusbDevice::Pipe pipe1;
    LibusbDevice::Pipe pipe2;
    ASSERT_EQ(SelectPipes(row.configuration.config, interfaceNumber, pipe1, pipe2), row.status);
    if (row.status != 0) continue;
    EXPECT_EQ(interfaceNumber, row.interfaceNumber);
    EXPECT_EQ(pipe1.address, row.inAddress);
    EXPECT_EQ(pipe2.address, row.outAddress);
    EXPECT_EQ(pipe1.interrupt, row.interrupt);
    EXPECT_EQ(pipe2.interrupt, row.interrupt);
  }
}

TEST(LibusbBackend, RejectsAnInterfaceWithoutAlternateSettings) {
  libusb_interface empty{nullptr, 0};
  libusb_config_descriptor config{};
  config.bNumInterfaces = 1;
  config.interface = &empty;
  int interfaceNumber = 0;
  LibusbDevice::Pipe in;
  LibusbDevice::Pipe out;
  EXPECT_EQ(SelectPipes(config, interfaceNumber, in, out), no_dev_info);
}

TEST(LibusbBackend, ListsDevicesInTopologyOrder) {
  struct Device {
    uint8_t bus;
    std::vector<uint8_t> ports;
    int portCount;  // as libusb_get_port_numbers returned it
    uint8_t address;
  };
  const struct {
    const char* name;
    std::vector<Device> devices;  // in the order libusb listed them
    std::vector<size_t> order;
  } table[] = {
      {"buses by number, not by text", {{10, {1}, 1, 2}, {2, {1}, 1, 9}}, {1, 0}},
      {"ports down the hubs", {{1, {2}, 1, 3}, {1, {1, 4}, 2, 7}, {1, {1, 3}, 2, 5}}, {2, 1, 0}},
      {"root hub first on its bus", {{1, {1}, 1, 2}, {1, {}, 0, 1}}, {1, 0}},
      {"ports unknown: bus and address",
       {{1, {}, LIBUSB_ERROR_OVERFLOW, 4}, {1, {}, 0, 3}},
       {1, 0}},
      {"equal places keep the listing order", {{1, {1}, 1, 2}, {1, {1}, 1, 2}}, {0, 1}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    std::vector<std::vector<uint8_t>> keys;
    for (const Device& device : row.devices) {
      keys.push_back(
          TopologyKey(device.bus, device.ports.data(), device.portCount, device.address));
    }
    EXPECT_EQ(TopologyOrder(keys), row.order);
  }
}

}  // namespace
