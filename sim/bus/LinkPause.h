// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>

namespace norvexsim {

// Waits ms milliseconds on a connection before sending more, as a slow reader does. Returns
// false at once when the host hangs up or the connection is cut meanwhile (the server stopping,
// the device unplugged), so a paced reply never holds up a closing.
bool pauseLink(int fd, unsigned ms);
// The same to the microsecond: the wait of a reply in real-time mode.
bool pauseLink(int fd, std::chrono::microseconds duration);

}  // namespace norvexsim
