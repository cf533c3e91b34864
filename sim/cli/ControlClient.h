// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>
#include <optional>
#include <string>

namespace norvexsim {

// Sends one control command to the simulator serving socketPath and returns its answer;
// std::nullopt when no simulator answers there: nobody listens, or connecting, sending or the
// answer took longer than the time-out.
std::optional<std::string> sendControlCommand(
    const std::string& socketPath, const std::string& commandLine,
    std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

}  // namespace norvexsim
