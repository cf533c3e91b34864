// SPDX-License-Identifier: MIT
#include "sim/reader/VirtualReader.h"

#include <cmath>
#include <exception>
#include <stdexcept>
#include <utility>

#include "sim/cards/Field.h"
#include "sim/device/Frame.h"
#include "sim/reader/InstructionTable.h"
#include "sim/reader/StatusByte.h"
#include "sim/timing/ExchangeTime.h"

namespace norvexsim {

VirtualReader::VirtualReader(uint16_t productId)
    : productId_(productId), field_(std::make_unique<Field>()), state_(productId) {}

VirtualReader::~VirtualReader() = default;

std::optional<std::vector<uint8_t>> VirtualReader::handleFrame(std::span<const uint8_t> frame) {
  const auto request = decodeRequest(frame);
  if (!request) return std::nullopt;  // the assembler only hands over whole frames

  std::lock_guard lock(mutex_);
  LogEntry entry;
  entry.sequence = request->sequence;
  entry.instruction = request->instruction;
  entry.params = request->params;
  std::string note;

  if (faults_.silentRequests > 0) {
    --faults_.silentRequests;
    entry.answered = false;
    account(entry, frame.size(), 0, timing::ExchangeFacts{});
    appendLog(std::move(entry), "silence fault");
    return std::nullopt;
  }

  Reply reply;
  double cardWaitUs = 0.0;
  if (!request->crcValid) {
    // The frame is corrupt, so nothing in it can be trusted but its sequence number, which the
    // host checks anyway: report a line CRC error rather than leave the host waiting.
    reply.status = status::kCrcError;
    note = "request CRC wrong";
  } else if (faults_.forcedStatus) {
    reply.status = *faults_.forcedStatus;
    faults_.forcedStatus.reset();
    note = "forced status";
  } else {
    reply = runInstruction(request->instruction, request->params, note);
    const std::string air = field_->takeAirTrace();  // what went over the air to and from the card
    if (!air.empty()) note += note.empty() ? air : "; " + air;
    cardWaitUs = static_cast<double>(field_->takeCardWait().count());
    countDownCardLeave();
  }
  if (reply.data.size() > kMaxFrameData) reply = Reply{status::kOverflow, {}};

  uint8_t sequence = request->sequence;
  if (faults_.staleNextSequence) {
    faults_.staleNextSequence = false;
    sequence = static_cast<uint8_t>(sequence - 1);
    note += note.empty() ? "stale sequence" : ", stale sequence";
  }
  auto out = encodeReply(sequence, reply.status, reply.data);
  if (faults_.corruptNextCrc) {
    faults_.corruptNextCrc = false;
    out[out.size() - 2] ^= 0x5A;
    note += note.empty() ? "CRC corrupted" : ", CRC corrupted";
  }

  entry.status = reply.status;
  if (request->crcValid) {
    account(entry, frame.size(), out.size(),
            timing::ExchangeFacts{request->instruction, request->params, reply.status, reply.data,
                                  cardWaitUs, field_->typeBFraming()});
  } else {
    account(entry, frame.size(), out.size(), timing::ExchangeFacts{});
  }
  entry.reply = std::move(reply.data);
  appendLog(std::move(entry), note);
  return out;
}

Reply VirtualReader::runInstruction(uint8_t instruction, const std::vector<uint8_t>& params,
                                    std::string& note) {
  try {
    if (faults_.hook) {
      if (auto hooked = faults_.hook(instruction, params, *field_)) return *std::move(hooked);
    }
    ReaderContext context{*field_, state_};
    Reply reply = executeInstruction(context, instruction, params);
    note = std::move(context.note);
    return reply;
  } catch (const std::exception&) {
    // A firmware does not crash on a request it cannot handle; it reports a bad frame.
    return Reply{status::kFramingError, {}};
  }
}

void VirtualReader::account(LogEntry& entry, size_t requestBytes, size_t replyBytes,
                            const timing::ExchangeFacts& facts) {
  const double modelled = timing::exchangeUs(requestBytes, replyBytes, facts);
  entry.modelledUs = static_cast<uint32_t>(std::lround(modelled));
  ++timing_.exchanges;
  timing_.modelledUs += entry.modelledUs;
  lastModelledUs_ = entry.modelledUs;
}

void VirtualReader::countDownCardLeave() {
  if (!faults_.cardLeavesAfter) return;
  if (*faults_.cardLeavesAfter > 0) --*faults_.cardLeavesAfter;
  if (*faults_.cardLeavesAfter > 0) return;
  if (faults_.leavingCard.empty()) {
    field_->removeAll();
  } else {
    field_->remove(faults_.leavingCard);
  }
  faults_.cardLeavesAfter.reset();
  faults_.leavingCard.clear();
}

ReplyPacing VirtualReader::takeReplyPacing() {
  std::lock_guard lock(mutex_);
  const ReplyPacing pacing{faults_.replyDelayMs, faults_.packetGapMs,
                           timingMode_ == TimingMode::kRealTime ? lastModelledUs_ : 0};
  faults_.replyDelayMs = 0;
  return pacing;
}

void VirtualReader::powerCycle() {
  std::lock_guard lock(mutex_);
  field_->rfReset();
  state_.powerCycle();
  field_->setResponseTimeout(state_.responseTimeout);
}

bool VirtualReader::takeBusLeave() {
  std::lock_guard lock(mutex_);
  return std::exchange(state_.leaveBus, false);
}

ReaderState VirtualReader::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

TimingTotals VirtualReader::timing() const {
  std::lock_guard lock(mutex_);
  return timing_;
}

void VirtualReader::resetTiming() {
  std::lock_guard lock(mutex_);
  timing_ = TimingTotals{};
}

void VirtualReader::setTimingMode(TimingMode mode) {
  std::lock_guard lock(mutex_);
  timingMode_ = mode;
}

void VirtualReader::setJumperCode(uint8_t code) {
  std::lock_guard lock(mutex_);
  state_.jumperBaudCode = code;
}

void VirtualReader::noteDiscardedPacket(uint8_t firstByte) {
  std::lock_guard lock(mutex_);
  LogEntry entry;
  entry.answered = false;
  entry.droppedPacket = true;
  entry.params = {firstByte};
  log_.append(std::move(entry));
  logGrew_.notify_all();
}

void VirtualReader::appendLog(LogEntry entry, const std::string& note) {
  entry.note = note;
  log_.append(std::move(entry));
  logGrew_.notify_all();
}

std::vector<uint8_t> VirtualReader::placeCard(const std::string& card) {
  std::lock_guard lock(mutex_);
  return field_->place(card);
}

bool VirtualReader::removeCard(const std::vector<uint8_t>& uid) {
  std::lock_guard lock(mutex_);
  return field_->remove(uid);
}

void VirtualReader::removeAllCards() {
  std::lock_guard lock(mutex_);
  field_->removeAll();
}

std::vector<std::string> VirtualReader::cards() const {
  std::lock_guard lock(mutex_);
  return field_->list();
}

std::vector<uint8_t> VirtualReader::cardMemory(const std::vector<uint8_t>& uid) const {
  std::lock_guard lock(mutex_);
  try {
    return field_->memory(uid);
  } catch (const std::invalid_argument&) {
    return {};  // no such card
  }
}

void VirtualReader::setCardMemory(const std::vector<uint8_t>& uid,
                                  const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  field_->setMemory(uid, bytes);
}

std::vector<LogEntry> VirtualReader::log() const {
  std::lock_guard lock(mutex_);
  return log_.entries();
}

void VirtualReader::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

bool VirtualReader::waitForLog(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return logGrew_.wait_for(lock, timeout, [&] { return log_.size() >= count; });
}

}  // namespace norvexsim
