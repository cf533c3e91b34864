// SPDX-License-Identifier: MIT
#pragma once

#include <libusb.h>

#include "transport/usb/LibusbDevice.h"

// Finds the reader's pipes in a configuration descriptor: the first interface (first alternate
// setting) with its first endpoint as pipe 1 (IN) and its second as pipe 2 (OUT), each of
// interrupt or bulk type. Returns 0 and fills the outputs, or 3005 (no_dev_info) when the
// configuration has no such interface; the outputs are then unspecified.
long SelectPipes(const libusb_config_descriptor& config, int& interfaceNumber,
                 LibusbDevice::Pipe& in, LibusbDevice::Pipe& out);
