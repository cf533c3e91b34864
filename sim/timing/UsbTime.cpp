// SPDX-License-Identifier: MIT
#include "sim/timing/UsbTime.h"

#include <cmath>

namespace norvexsim::timing {

double usbExchangeUs(size_t requestBytes, size_t replyBytes, double workUs) {
  const size_t out = packetsOf(requestBytes);
  const double lastOut = out == 0 ? 0.0 : static_cast<double>(out - 1) * kPollUs;
  if (replyBytes == 0) return lastOut + kPollUs + workUs;
  const double ready = lastOut + workUs;
  const double firstIn = std::ceil(ready / kPollUs) * kPollUs;
  return firstIn + static_cast<double>(packetsOf(replyBytes)) * kPollUs;
}

}  // namespace norvexsim::timing
