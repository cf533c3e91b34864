// SPDX-License-Identifier: MIT
// The virtual bus backend against an in-process simulator: an opening reuses the connection of the
// listing before it only while NORVEX_SIMULATOR still names that bus, and only once.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "integration/SimulatorHarness.h"
#include "status/StatusCodes.h"
#include "transport/usb/VirtualBusBackend.h"

namespace {

TEST(VirtualBusBackend, AnOpeningAfterAListingGoesToTheBusNamedThen) {
  SimulatorHarness first;
  first->addReader(0x0110);
  VirtualBusBackend backend;
  std::vector<UsbDeviceInfo> devices;
  ASSERT_EQ(backend.ListDevices(devices), 0);
  ASSERT_EQ(devices.size(), 1u);
  std::unique_ptr<UsbDeviceHandle> handle;
  {
    SimulatorHarness empty;  // the variable names a bus without readers
    EXPECT_EQ(backend.OpenDevice(devices[0], handle), device_notfound);
  }
  setenv("NORVEX_SIMULATOR", first->socketPath().c_str(), 1);
  ASSERT_EQ(backend.ListDevices(devices), 0);
  ASSERT_EQ(backend.OpenDevice(devices[0], handle), 0);
  handle.reset();
  EXPECT_EQ(backend.OpenDevice(devices[0], handle), 0) << "opened on a connection of its own";
}

}  // namespace
