// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>

// The timeout to hand libusb for a transfer that may take timeoutMs milliseconds. libusb reads 0
// as "wait forever"; here 0 means "do not wait", so it becomes the shortest wait libusb knows.
constexpr unsigned LibusbTimeout(unsigned timeoutMs) {
  return std::max(timeoutMs, 1u);
}
