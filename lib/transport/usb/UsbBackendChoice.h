// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "transport/usb/UsbBackend.h"

// The one place that decides how USB devices are reached: the simulator's virtual bus when the
// environment variable NORVEX_SIMULATOR holds a socket path, otherwise the real USB (libusb).
std::unique_ptr<UsbBackend> MakeUsbBackend();
