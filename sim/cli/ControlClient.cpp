// SPDX-License-Identifier: MIT
#include "sim/cli/ControlClient.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <stdexcept>

#include "sim/bus/Message.h"
#include "sim/bus/UnixSocket.h"

namespace norvexsim {

namespace {

// Bounds every blocking send, so a simulator that stopped reading cannot hold the client.
void limitSends(int fd, std::chrono::milliseconds timeout) {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
  timeval limit{static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

}  // namespace

// Each step (connecting, sending, the answer's arrival) waits at most `timeout`, so a frozen
// simulator costs the caller a few time-outs, never a hang.
std::optional<std::string> sendControlCommand(const std::string& socketPath,
                                              const std::string& commandLine,
                                              std::chrono::milliseconds timeout) {
  if (commandLine.size() > bus::kMaxPayload) return std::nullopt;
  Fd fd;
  try {
    fd = connectUnix(socketPath, timeout);
  } catch (const std::runtime_error&) {
    return std::nullopt;  // a path no socket can have
  }
  if (!fd.valid()) return std::nullopt;
  limitSends(fd.get(), timeout);

  if (!writeMessage(fd.get(), bus::kControl, {commandLine.begin(), commandLine.end()})) {
    return std::nullopt;
  }
  const auto answer = readMessage(fd.get(), ReadTimeouts{timeout, timeout});
  if (!answer || answer->type != bus::kControl) return std::nullopt;
  return std::string(answer->payload.begin(), answer->payload.end());
}

}  // namespace norvexsim
