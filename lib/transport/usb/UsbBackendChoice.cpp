// SPDX-License-Identifier: MIT
#include "transport/usb/UsbBackendChoice.h"

#include <cstdlib>

#include "transport/usb/LibusbBackend.h"
#include "transport/usb/VirtualBusBackend.h"

std::unique_ptr<UsbBackend> MakeUsbBackend() {
  const char* socketPath = std::getenv(VirtualBusBackend::kSocketVariable);
  if (socketPath != nullptr && socketPath[0] != '\0') return std::make_unique<VirtualBusBackend>();
  return std::make_unique<LibusbBackend>();
}
