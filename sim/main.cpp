// SPDX-License-Identifier: MIT
// norvex-sim: serves simulated card readers on the virtual USB bus, or sends one control
// command to a simulator that is already running.
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/Simulator.h"
#include "sim/cli/ControlClient.h"
#include "sim/cli/Options.h"

namespace {

int runControl(const norvexsim::Options& options) {
  const auto answer = norvexsim::sendControlCommand(options.socketPath, options.controlCommand);
  if (!answer) {
    std::cerr << "norvex-sim: no simulator answers at " << options.socketPath << "\n";
    return 1;
  }
  std::cout << *answer << "\n";
  return answer->rfind("ok", 0) == 0 ? 0 : 1;
}

int serve(const norvexsim::Options& options) {
  // Block the stop signals before any thread starts, so that every thread inherits the mask and
  // only sigwait() below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  norvexsim::Simulator simulator(options.socketPath);
  if (options.realTime) simulator.setTimingMode(norvexsim::TimingMode::kRealTime);
  for (const auto& setup : options.readers) {
    const int reader = simulator.addReader(setup.productId);
    if (setup.jumperCode) simulator.setJumperCode(reader, *setup.jumperCode);
    for (const auto& card : setup.cards) {
      try {
        simulator.placeCard(reader, card);
      } catch (const std::invalid_argument& bad) {
        throw std::runtime_error("--card " + card + ": " + bad.what());
      }
    }
  }
  std::cout << "listening " << options.socketPath << std::endl;

  int received = 0;
  sigwait(&stopSignals, &received);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const auto options = norvexsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.mode) {
      case norvexsim::Options::Mode::kHelp:
        std::cout << norvexsim::usage();
        return 0;
      case norvexsim::Options::Mode::kControl:
        return runControl(options);
      case norvexsim::Options::Mode::kServe:
        return serve(options);
    }
  } catch (const std::invalid_argument& bad) {
    std::cerr << "norvex-sim: " << bad.what() << "\n" << norvexsim::usage();
    return 2;
  } catch (const std::exception& failed) {
    std::cerr << "norvex-sim: " << failed.what() << "\n";
    return 1;
  }
  return 0;
}
