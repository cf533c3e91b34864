// SPDX-License-Identifier: MIT
#pragma once

#include <libusb.h>

// One libusb session. Shared by the backend and every device it opened, so that the session ends
// only after the last of them is closed.
class LibusbContext {
 public:
  LibusbContext() { initResult = libusb_init(&context); }
  ~LibusbContext() {
    if (initResult == 0) libusb_exit(context);
  }
  LibusbContext(const LibusbContext&) = delete;
  LibusbContext& operator=(const LibusbContext&) = delete;

  // The libusb result of starting the session (0 when it is usable).
  int InitResult() const { return initResult; }
  libusb_context* Get() const { return context; }

 private:
  libusb_context* context = nullptr;
  int initResult = LIBUSB_ERROR_OTHER;
};
