// SPDX-License-Identifier: MIT
#include "transport/usb/LibusbError.h"

#include <libusb.h>

#include <cerrno>

#include "status/StatusCodes.h"

long TranslateLibusbError(int error) {
  switch (error) {
    case LIBUSB_SUCCESS:
      return 0;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
      return device_notfound;
    case LIBUSB_ERROR_TIMEOUT:
      return no_reader_resp;
    case LIBUSB_ERROR_IO:
      return EIO;
    case LIBUSB_ERROR_INVALID_PARAM:
      return EINVAL;
    case LIBUSB_ERROR_ACCESS:
      return EACCES;
    case LIBUSB_ERROR_BUSY:
      return EBUSY;
    case LIBUSB_ERROR_OVERFLOW:
      return EOVERFLOW;
    case LIBUSB_ERROR_PIPE:
      return EPIPE;
    case LIBUSB_ERROR_INTERRUPTED:
      return EINTR;
    case LIBUSB_ERROR_NO_MEM:
      return ENOMEM;
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return EOPNOTSUPP;
    default:
      return EIO;
  }
}
