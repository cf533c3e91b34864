// SPDX-License-Identifier: MIT
#include "transport/usb/LibusbDevice.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "transport/usb/LibusbContext.h"
#include "transport/usb/LibusbError.h"
#include "transport/usb/LibusbTimeout.h"

namespace {

// Draining stale IN packets after opening: a short wait per packet and a bound on how many, so a
// device that never stops sending cannot hold the opening up.
constexpr unsigned kDrainTimeoutMs = 5;
constexpr int kDrainMaxPackets = 64;
constexpr int kDrainPacketSize = 64;

}  // namespace

LibusbDevice::LibusbDevice(std::shared_ptr<LibusbContext> usbContext,
                           libusb_device_handle* deviceHandle, int claimedInterface, Pipe in,
                           Pipe out)
    : context(std::move(usbContext)),
      handle(deviceHandle),
      interfaceNumber(claimedInterface),
      inPipe(in),
      outPipe(out) {}

LibusbDevice::~LibusbDevice() {
  libusb_release_interface(handle, interfaceNumber);
  libusb_close(handle);
}

int LibusbDevice::Transfer(const Pipe& pipe, unsigned char* data, int length, int& transferred,
                           unsigned timeoutMs) {
  const unsigned timeout = LibusbTimeout(timeoutMs);
  transferred = 0;
  if (pipe.interrupt)
    return libusb_interrupt_transfer(handle, pipe.address, data, length, &transferred, timeout);
  return libusb_bulk_transfer(handle, pipe.address, data, length, &transferred, timeout);
}

long LibusbDevice::AbortInPipe() {
  // The synchronous transfers leave nothing pending on the host; what is left to discard is
  // whatever the reader had queued before the opening.
  unsigned char stale[kDrainPacketSize];
  for (int i = 0; i < kDrainMaxPackets; ++i) {
    int transferred = 0;
    const int result = Transfer(inPipe, stale, sizeof(stale), transferred, kDrainTimeoutMs);
    if (result == LIBUSB_ERROR_TIMEOUT) return 0;
    if (result == LIBUSB_ERROR_NO_DEVICE) return TranslateLibusbError(result);
    if (result != 0) return 0;  // nothing sensible to drain; the next exchange reports real trouble
  }
  return 0;
}

long LibusbDevice::WritePacket(const uint8_t* data, size_t length, unsigned timeoutMs) {
  if (length > INT_MAX) return EMSGSIZE;
  int transferred = 0;
  // libusb takes a non-const buffer for both directions; an OUT transfer does not write to it.
  const int result = Transfer(outPipe, const_cast<unsigned char*>(data), static_cast<int>(length),
                              transferred, timeoutMs);
  if (result != 0) return TranslateLibusbError(result);
  return transferred == static_cast<int>(length) ? 0 : EIO;
}

long LibusbDevice::ReadPacket(uint8_t* data, size_t capacity, size_t& received,
                              unsigned timeoutMs) {
  int transferred = 0;
  const int length = static_cast<int>(std::min<size_t>(capacity, INT_MAX));
  const int result = Transfer(inPipe, data, length, transferred, timeoutMs);
  if (result != 0) return TranslateLibusbError(result);
  received = static_cast<size_t>(transferred);
  return 0;
}
