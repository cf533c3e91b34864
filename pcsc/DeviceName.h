// SPDX-License-Identifier: MIT
#pragma once
// The device name pcscd hands to IFDHCreateChannelByName, turned into what the library connects:
//   norvex:USB_n[:PID][@SOCKET]
//                          reader n of the library (a reader.conf.d DEVICENAME: pcscd takes a
//                          name without a colon for a device file, hence the prefix, which may
//                          be left out elsewhere); PID is the USB product ID to match (without it
//                          each reader model is tried in turn); SOCKET makes the library reach
//                          norvex-sim on that Unix socket.
//   usb:2e5a/PPPP:libudev:I:/dev/bus/usb/BBB/DDD  or  usb:2e5a/PPPP:libusb-1.0:BBB:DDD:I
//                          a reader pcscd found by USB hot-plug: product ID PPPP, and its index
//                          among the readers of that model in the library's topology order.

#include <optional>
#include <string>

namespace norvex::pcsc {

struct ReaderAddress {
  std::string libraryName = "USB_0";
  std::optional<int> productId;
  std::string simulatorSocket;  // empty: the library's own choice of USB backend
};

std::optional<ReaderAddress> parseDeviceName(const std::string& deviceName);

// The USB product IDs of the reader models, tried in this order when none is given.
inline constexpr int kReaderProductIds[] = {0x0110, 0x0120};
inline constexpr int kVendorId = 0x2E5A;

}  // namespace norvex::pcsc
