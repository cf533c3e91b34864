// SPDX-License-Identifier: MIT
#pragma once
// ISO 14443-4 tests against the simulated reader: what went over the air (the T=CL frames the
// reader exchanged with the card, the response time-outs it was given) read from the instruction
// log, and a card whose frames a test scripts one by one to play protocol faults.

#include <deque>
#include <memory>
#include <optional>

#include "SimulatorHarness.h"
#include "sim/reader/StatusByte.h"

constexpr uint8_t kByteStream = 0x03;
constexpr uint8_t kSetResponseTimeout = 0x27;
constexpr uint8_t kExchangeBlock = 0x48;
constexpr uint8_t kRequestAts = 0xE7;
constexpr size_t kByteStreamHeader = 3;  // flags, 16-bit length

class TclTest : public ReaderTest {
 protected:
  // The card answers the reader's frames (instruction 0x03) with these frames in turn; nullopt,
  // or the end of the script, is a card that stays silent (the reader reports a time-out).
  void Script(std::vector<std::optional<Bytes>> frames) {
    auto queue = std::make_shared<std::deque<std::optional<Bytes>>>(frames.begin(), frames.end());
    bus->setInstructionHook(reader,
                            [queue](uint8_t instruction, const std::vector<uint8_t>&,
                                    norvexsim::Field&) -> std::optional<norvexsim::Reply> {
                              if (instruction != kByteStream) return std::nullopt;
                              std::optional<Bytes> frame;
                              if (!queue->empty()) {
                                frame = queue->front();
                                queue->pop_front();
                              }
                              if (!frame)
                                return norvexsim::Reply{norvexsim::status::kAccessTimeout, {}};
                              return norvexsim::Reply{norvexsim::status::kOk, *frame};
                            });
    ClearLog();
  }

  // The frames the reader sent to the card, in order.
  std::vector<Bytes> SentFrames() const {
    std::vector<Bytes> frames;
    for (const auto& entry : Log()) {
      if (entry.instruction != kByteStream || entry.params.size() < kByteStreamHeader) continue;
      frames.emplace_back(entry.params.begin() + kByteStreamHeader, entry.params.end());
    }
    return frames;
  }
  // The frames the card answered with, in order.
  std::vector<Bytes> CardFrames() const {
    std::vector<Bytes> frames;
    for (const auto& entry : Log()) {
      if (entry.instruction == kByteStream && entry.status == 0) frames.push_back(entry.reply);
    }
    return frames;
  }
  // The response time-outs set before each frame.
  std::vector<uint32_t> CardTimeouts() const {
    std::vector<uint32_t> timeouts;
    for (const auto& entry : Log()) {
      if (entry.instruction != kSetResponseTimeout || entry.params.size() != 4) continue;
      const auto& p = entry.params;
      timeouts.push_back(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    }
    return timeouts;
  }
};
