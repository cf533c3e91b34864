// The transport over this machine's real USB. Skips when no reader of the family is attached.

#include <gtest/gtest.h>

#include <vector>

#include "transport/CommandObject.h"
#include "transport/HIDUSB.h"
#include "transport/USBBlockFramingProtocol.h"
#include "transport/usb/LibusbBackend.h"

namespace {

TEST(LibusbBackend, ExchangesAFrameWithAnAttachedReader) {
  LibusbBackend backend;
  std::vector<UsbDeviceInfo> devices;
  backend.ListDevices(devices);
  const UsbDeviceInfo* reader = nullptr;
  for (const UsbDeviceInfo& device : devices) {
    if (device.vendorId == HIDUSB::kVendorId) reader = &device;
  }
  if (reader == nullptr) GTEST_SKIP() << "no reader of the family is attached";

  HIDUSB transport(std::make_unique<LibusbBackend>());
  transport.SetProductID(reader->productId);
  ASSERT_EQ(transport.OpenInterface(), 0);
  USBBlockFramingProtocol protocol(transport);
  CommandObject cmd;
  cmd.SetCommand(0x10);  // RF configuration: no parameters, no reply data
  EXPECT_EQ(protocol.SendCommand(cmd, 2000, 2000), 0);
}

}  // namespace
