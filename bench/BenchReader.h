// SPDX-License-Identifier: MIT
#pragma once
// The bench every benchmark starts from: an in-process simulator with one reader (product ID
// 0x0110) on a socket in a fresh temporary directory, NORVEX_SIMULATOR pointing at it, and a
// session connected to that reader. status() is the connection's result, or what a derived bench
// set up after it.

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "norvexapi.h"
#include "sim/Simulator.h"

class BenchReader {
 public:
  BenchReader() {
    char pattern[] = "/tmp/norvex-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      status_ = -1;
      return;
    }
    directory_ = pattern;
    simulator_ = std::make_unique<norvexsim::Simulator>(directory_ + "/bus");
    reader_ = simulator_->addReader(0x0110);
    setenv("NORVEX_SIMULATOR", simulator_->socketPath().c_str(), 1);
    session_ = CreateSession();
    char name[] = "USB_0";
    status_ = ConnectReader(session_, NORVEX_INTERFACE_USB, name, 0x0110);
  }
  ~BenchReader() {
    ReleaseSession(session_);
    simulator_.reset();
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }
  BenchReader(const BenchReader&) = delete;
  BenchReader& operator=(const BenchReader&) = delete;

  void* session() const { return session_; }
  long status() const { return status_; }
  norvexsim::Simulator& simulator() { return *simulator_; }
  int reader() const { return reader_; }

 protected:
  long status_ = 0;

 private:
  std::string directory_;
  std::unique_ptr<norvexsim::Simulator> simulator_;
  int reader_ = 0;
  void* session_ = nullptr;
};
