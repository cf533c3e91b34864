// SPDX-License-Identifier: MIT
#pragma once

namespace norvexsim {

// Waits ms milliseconds on a connection before sending more, as a slow reader does. Returns
// false at once when the host hangs up or the connection is cut meanwhile (the server stopping,
// the device unplugged), so a paced reply never holds up a closing.
bool pauseLink(int fd, unsigned ms);

}  // namespace norvexsim
