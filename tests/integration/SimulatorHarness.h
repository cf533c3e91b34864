#pragma once
// An in-process simulator on a socket in a fresh temporary directory, with NORVEX_SIMULATOR pointing
// at it for as long as the harness lives, so that the library finds its virtual readers.

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "sim/Simulator.h"

class SimulatorHarness {
 public:
  SimulatorHarness() {
    char pattern[] = "/tmp/norvex-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory_ = pattern;
    simulator_ = std::make_unique<norvexsim::Simulator>(directory_ + "/bus");
    setenv("NORVEX_SIMULATOR", simulator_->socketPath().c_str(), 1);
  }

  ~SimulatorHarness() {
    simulator_.reset();
    unsetenv("NORVEX_SIMULATOR");
    std::filesystem::remove_all(directory_);
  }

  SimulatorHarness(const SimulatorHarness&) = delete;
  SimulatorHarness& operator=(const SimulatorHarness&) = delete;

  norvexsim::Simulator& sim() { return *simulator_; }
  norvexsim::Simulator* operator->() { return simulator_.get(); }

 private:
  std::string directory_;
  std::unique_ptr<norvexsim::Simulator> simulator_;
};
