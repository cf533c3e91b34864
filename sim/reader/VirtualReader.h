// SPDX-License-Identifier: MIT
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/reader/FaultPlan.h"
#include "sim/reader/InstructionLog.h"
#include "sim/reader/ReaderState.h"
#include "sim/timing/TimingTotals.h"

namespace norvexsim {

class Field;
namespace timing {
struct ExchangeFacts;
}

// The firmware of one simulated reader: takes whole request frames, runs their instruction on
// its own RF field, logs the exchange and builds the reply frame. Thread-safe: every public
// operation holds the reader's lock.
class VirtualReader {
 public:
  explicit VirtualReader(uint16_t productId);
  ~VirtualReader();
  VirtualReader(const VirtualReader&) = delete;
  VirtualReader& operator=(const VirtualReader&) = delete;

  uint16_t productId() const { return productId_; }

  // One complete request frame from the host; returns the reply frame, or std::nullopt when the
  // reader stays silent.
  std::optional<std::vector<uint8_t>> handleFrame(std::span<const uint8_t> frame);
  // How the reply handleFrame just returned goes out; disarms the one-shot reply delay.
  ReplyPacing takeReplyPacing();
  // Notes a packet the firmware dropped because it did not start a frame.
  void noteDiscardedPacket(uint8_t firstByte);
  // Power lost and back (unplugged and plugged in): the RF field restarts, so every card is
  // IDLE again, and the settings return to their power-on values; the EEPROM and the jumpers
  // keep theirs.
  void powerCycle();
  // True once after the firmware has jumped to its boot loader (instructions 0x62, 0x66): the
  // bus then takes the device off, after its last reply.
  bool takeBusLeave();

  // A copy of the reader's settings and memories.
  ReaderState state() const;
  // The serial speed code the board's jumpers select (reported by instruction 0x83).
  void setJumperCode(uint8_t code);

  // Modelled hardware time: the totals since the last reset, and whether replies wait for it.
  TimingTotals timing() const;
  void resetTiming();
  void setTimingMode(TimingMode mode);

  // The RF field.
  std::vector<uint8_t> placeCard(const std::string& card);
  bool removeCard(const std::vector<uint8_t>& uid);
  void removeAllCards();
  std::vector<std::string> cards() const;
  std::vector<uint8_t> cardMemory(const std::vector<uint8_t>& uid) const;
  void setCardMemory(const std::vector<uint8_t>& uid, const std::vector<uint8_t>& bytes);

  // The instruction log.
  std::vector<LogEntry> log() const;
  void clearLog();
  bool waitForLog(size_t count, std::chrono::milliseconds timeout) const;

  // Faults: arm or clear under the reader's lock.
  template <typename Change>
  void changeFaults(Change&& change) {
    std::lock_guard lock(mutex_);
    change(faults_);
  }
  // Card faults live on the cards: reach the field under the reader's lock.
  template <typename Change>
  auto changeField(Change&& change) {
    std::lock_guard lock(mutex_);
    return change(*field_);
  }

 private:
  // note receives what the instruction's handler wants logged.
  Reply runInstruction(uint8_t instruction, const std::vector<uint8_t>& params, std::string& note);
  void countDownCardLeave();
  // Gives the exchange its modelled time and adds it to the totals.
  void account(LogEntry& entry, size_t requestBytes, size_t replyBytes,
               const timing::ExchangeFacts& facts);
  void appendLog(LogEntry entry, const std::string& note);

  const uint16_t productId_;
  mutable std::mutex mutex_;
  mutable std::condition_variable logGrew_;
  std::unique_ptr<Field> field_;
  ReaderState state_;
  FaultPlan faults_;
  InstructionLog log_;
  TimingTotals timing_;
  TimingMode timingMode_ = TimingMode::kAccounting;
  uint32_t lastModelledUs_ = 0;
};

}  // namespace norvexsim
