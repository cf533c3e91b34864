// SPDX-License-Identifier: MIT
#pragma once
// A simulator with one reader on its bus, opened by a host: the fixture of the tests that talk to
// the reader's firmware frame by frame.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BusClient.h"
#include "sim/Simulator.h"

namespace simtest {

class OpenReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = sim.addReader();
    ASSERT_EQ(host->open(0), 0);
  }

  // Runs one instruction with the next sequence number; fails the test without a valid reply.
  ReplyFrame run(uint8_t instruction, const Bytes& params = {}) {
    const auto reply = host->transact(sequence, instruction, params);
    EXPECT_TRUE(reply && reply->crcValid && reply->sequence == sequence);
    ++sequence;
    return reply.value_or(ReplyFrame{});
  }

  TempDir dir;
  std::string path = dir.file("reader.sock");
  norvexsim::Simulator sim{path};
  int reader = -1;
  std::unique_ptr<BusClient> host = std::make_unique<BusClient>(path);
  uint8_t sequence = 0;
};

}  // namespace simtest
