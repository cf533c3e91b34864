// SPDX-License-Identifier: MIT
#include "sim/Simulator.h"

#include <stdexcept>

#include "sim/bus/BusServer.h"
#include "sim/cards/Field.h"
#include "sim/control/ControlCommands.h"

namespace norvexsim {

Simulator::Simulator(const std::string& socketPath, BusLimits limits)
    : server_(std::make_unique<BusServer>(
          socketPath, devices_, [this](const std::string& line) { return control(line); },
          limits)) {}

// Stop the server first: its connection threads may be running control commands on this object.
Simulator::~Simulator() {
  server_->stop();
}

const std::string& Simulator::socketPath() const {
  return server_->socketPath();
}

int Simulator::addReader(uint16_t productId) {
  const int reader = devices_.add(productId);
  devices_.reader(reader).setTimingMode(timingMode_);
  return reader;
}

TimingTotals Simulator::timing(int reader) const {
  return devices_.reader(reader).timing();
}

void Simulator::resetTiming(int reader) {
  devices_.reader(reader).resetTiming();
}

void Simulator::setTimingMode(TimingMode mode) {
  timingMode_ = mode;
  for (int reader = 0; reader < readerCount(); ++reader)
    devices_.reader(reader).setTimingMode(mode);
}

int Simulator::readerCount() const {
  return static_cast<int>(devices_.size());
}

uint16_t Simulator::productId(int reader) const {
  return devices_.reader(reader).productId();
}

std::vector<uint8_t> Simulator::placeCard(int reader, const std::string& card) {
  return devices_.reader(reader).placeCard(card);
}

bool Simulator::removeCard(int reader, const std::vector<uint8_t>& uid) {
  return devices_.reader(reader).removeCard(uid);
}

void Simulator::removeAllCards(int reader) {
  devices_.reader(reader).removeAllCards();
}

std::vector<std::string> Simulator::cards(int reader) const {
  return devices_.reader(reader).cards();
}

std::vector<uint8_t> Simulator::cardMemory(int reader, const std::vector<uint8_t>& uid) const {
  return devices_.reader(reader).cardMemory(uid);
}

void Simulator::setCardMemory(int reader, const std::vector<uint8_t>& uid,
                              const std::vector<uint8_t>& bytes) {
  devices_.reader(reader).setCardMemory(uid, bytes);
}

void Simulator::unplug(int reader) {
  if (const auto holder = devices_.unplug(reader)) server_->disconnect(*holder);
}

void Simulator::replug(int reader) {
  if (devices_.plugged(reader)) return;
  devices_.reader(reader).powerCycle();
  devices_.replug(reader);
}

bool Simulator::isPlugged(int reader) const {
  return devices_.plugged(reader);
}

ReaderState Simulator::readerState(int reader) const {
  return devices_.reader(reader).state();
}

void Simulator::setJumperCode(int reader, uint8_t code) {
  devices_.reader(reader).setJumperCode(code);
}

std::vector<LogEntry> Simulator::log(int reader) const {
  return devices_.reader(reader).log();
}

void Simulator::clearLog(int reader) {
  devices_.reader(reader).clearLog();
}

bool Simulator::waitForLog(int reader, size_t count, std::chrono::milliseconds timeout) const {
  return devices_.reader(reader).waitForLog(count, timeout);
}

void Simulator::corruptNextReplyCrc(int reader) {
  devices_.reader(reader).changeFaults([](FaultPlan& f) { f.corruptNextCrc = true; });
}

void Simulator::staleNextReplySequence(int reader) {
  devices_.reader(reader).changeFaults([](FaultPlan& f) { f.staleNextSequence = true; });
}

void Simulator::stayInactive(int reader, unsigned requests) {
  devices_.reader(reader).changeFaults([&](FaultPlan& f) { f.silentRequests = requests; });
}

void Simulator::forceNextStatus(int reader, int8_t status) {
  devices_.reader(reader).changeFaults([&](FaultPlan& f) { f.forcedStatus = status; });
}

void Simulator::removeCardAfter(int reader, unsigned instructions,
                                const std::vector<uint8_t>& uid) {
  VirtualReader& device = devices_.reader(reader);
  if (instructions == 0) {
    if (uid.empty()) {
      device.removeAllCards();
    } else {
      device.removeCard(uid);
    }
    return;
  }
  device.changeFaults([&](FaultPlan& f) {
    f.cardLeavesAfter = instructions;
    f.leavingCard = uid;
  });
}

void Simulator::delayNextReply(int reader, unsigned ms) {
  devices_.reader(reader).changeFaults([&](FaultPlan& f) { f.replyDelayMs = ms; });
}

void Simulator::trickleReplies(int reader, unsigned gapMs) {
  devices_.reader(reader).changeFaults([&](FaultPlan& f) { f.packetGapMs = gapMs; });
}

void Simulator::stopAccepting(std::chrono::milliseconds duration) {
  server_->stopAccepting(duration);
}

void Simulator::setInstructionHook(int reader, InstructionHook hook) {
  devices_.reader(reader).changeFaults([&](FaultPlan& f) { f.hook = std::move(hook); });
}

void Simulator::injectCardFault(int reader, const tcl::TclFault& fault,
                                const std::vector<uint8_t>& uid) {
  const size_t armed = devices_.reader(reader).changeField(
      [&](Field& field) { return field.injectTclFault(fault, uid); });
  if (armed == 0) throw std::invalid_argument("no ISO 14443-4 card in the field for the fault");
}

void Simulator::clearFaults(int reader) {
  devices_.reader(reader).changeFaults([](FaultPlan& f) { f = FaultPlan{}; });
  devices_.reader(reader).changeField([](Field& field) { field.clearTclFaults(); });
}

std::string Simulator::control(const std::string& commandLine) {
  return runControlCommand(*this, commandLine);
}

}  // namespace norvexsim
