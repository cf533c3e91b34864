#include "sim/cli/ControlClient.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <stdexcept>

#include "sim/bus/Message.h"
#include "sim/bus/UnixSocket.h"

namespace norvexsim {

std::optional<std::string> sendControlCommand(const std::string& socketPath,
                                              const std::string& commandLine,
                                              std::chrono::milliseconds timeout) {
  Fd fd;
  try {
    fd = connectUnix(socketPath);
  } catch (const std::runtime_error&) {
    return std::nullopt;  // a path no socket can have
  }
  if (!fd.valid()) return std::nullopt;

  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
  timeval limit{static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
  ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

  if (commandLine.size() > 0xFFFF) return std::nullopt;
  if (!writeMessage(fd.get(), bus::kControl, {commandLine.begin(), commandLine.end()})) {
    return std::nullopt;
  }
  const auto answer = readMessage(fd.get());
  if (!answer || answer->type != bus::kControl) return std::nullopt;
  return std::string(answer->payload.begin(), answer->payload.end());
}

}  // namespace norvexsim
