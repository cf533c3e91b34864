// SPDX-License-Identifier: MIT
#include "transport/usb/LibusbPipes.h"

#include "status/StatusCodes.h"

namespace {

bool PipeOf(const libusb_endpoint_descriptor& endpoint, unsigned char direction,
            LibusbDevice::Pipe& pipe) {
  const int type = endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
  if (type != LIBUSB_TRANSFER_TYPE_INTERRUPT && type != LIBUSB_TRANSFER_TYPE_BULK) return false;
  if ((endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) != direction) return false;
  pipe = {endpoint.bEndpointAddress, type == LIBUSB_TRANSFER_TYPE_INTERRUPT};
  return true;
}

}  // namespace

long SelectPipes(const libusb_config_descriptor& config, int& interfaceNumber,
                 LibusbDevice::Pipe& in, LibusbDevice::Pipe& out) {
  if (config.bNumInterfaces == 0 || config.interface == nullptr ||
      config.interface[0].num_altsetting <= 0 || config.interface[0].altsetting == nullptr) {
    return no_dev_info;
  }
  const libusb_interface_descriptor& first = config.interface[0].altsetting[0];
  if (first.bNumEndpoints < 2 || first.endpoint == nullptr) return no_dev_info;
  if (!PipeOf(first.endpoint[0], LIBUSB_ENDPOINT_IN, in) ||
      !PipeOf(first.endpoint[1], LIBUSB_ENDPOINT_OUT, out)) {
    return no_dev_info;
  }
  interfaceNumber = first.bInterfaceNumber;
  return 0;
}
