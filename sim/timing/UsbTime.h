// SPDX-License-Identifier: MIT
#pragma once
// The reader's USB link: full speed, 1 ms frames, an interrupt IN and an interrupt OUT endpoint
// polled every frame (bInterval 1), each carrying at most one 32-byte packet a frame (USB 2.0
// 5.7.3 and 9.6.6: at most one transaction per frame per interrupt endpoint).

#include <cstddef>

namespace norvexsim::timing {

inline constexpr double kUsbFrameUs = 1000.0;
inline constexpr unsigned kPollingIntervalFrames = 1;
inline constexpr double kPollUs = kUsbFrameUs * kPollingIntervalFrames;
inline constexpr size_t kPacketBytes = 32;
// The firmware's own work on an instruction: decoding the frame, driving the RF chip, building the
// reply. No public figure; a small microcontroller does this in about a tenth of a millisecond.
inline constexpr double kReaderProcessingUs = 100.0;

constexpr size_t packetsOf(size_t frameBytes) {
  return frameBytes == 0 ? 0 : (frameBytes + kPacketBytes - 1) / kPacketBytes;
}

// One request frame out and its reply frame back, the reader busy workUs in between. The host
// sends one OUT packet a poll; the reader starts once the last one is in, and its first IN packet
// goes out at the first poll after it is done, the others one a poll; the host's next request can
// go out in the poll after the last IN packet. A frame the reader does not answer costs its OUT
// packets and the work.
double usbExchangeUs(size_t requestBytes, size_t replyBytes, double workUs);

}  // namespace norvexsim::timing
