// SPDX-License-Identifier: MIT
#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Reply.h"
#include "sim/bus/BusLimits.h"
#include "sim/bus/DeviceRegistry.h"
#include "sim/cards/tcl/TclFault.h"
#include "sim/reader/FaultPlan.h"
#include "sim/reader/LogEntry.h"
#include "sim/reader/ReaderState.h"
#include "sim/timing/TimingTotals.h"

namespace norvexsim {

class BusServer;

// A running reader simulator: virtual readers with their RF fields and cards, served on the
// virtual USB bus (a Unix-domain socket) by a background thread.
//
// The constructor returns once the socket accepts connections; the destructor cuts every
// connection, stops the server and removes the socket file. A new simulator has no reader:
// call addReader() for each. Readers are named by the index addReader() returned; every method
// taking one throws std::out_of_range for an unknown index. All methods are thread-safe against
// the server thread and each other.
//
// The server answers each request before it reads the next, and logs an exchange before it sends
// the reply: a host that has its reply can read the log entry at once. For requests that get no
// reply (the silence fault), waitForLog() waits for the entry.
class Simulator {
 public:
  // Throws std::runtime_error when it cannot serve at socketPath (bad path, another simulator
  // still listening there, or a socket of another user). The socket is private to this user.
  explicit Simulator(const std::string& socketPath, BusLimits limits = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  const std::string& socketPath() const;

  // Attaches a new reader (vendor ID 0x2E5A) with an empty field; returns its index.
  int addReader(uint16_t productId = kDefaultProductId);
  int readerCount() const;
  uint16_t productId(int reader) const;

  // Cards are described as "KIND[:key=value,...]"; placeCard returns the UID and throws
  // std::invalid_argument for a bad description. Unknown UIDs: removeCard false, cardMemory empty;
  // setCardMemory throws std::invalid_argument for an unknown UID or an image of the wrong size.
  std::vector<uint8_t> placeCard(int reader, const std::string& card);
  bool removeCard(int reader, const std::vector<uint8_t>& uid);
  void removeAllCards(int reader);
  std::vector<std::string> cards(int reader) const;  // one "KIND UIDHEX" line per card
  std::vector<uint8_t> cardMemory(int reader, const std::vector<uint8_t>& uid) const;
  void setCardMemory(int reader, const std::vector<uint8_t>& uid,
                     const std::vector<uint8_t>& bytes);

  // Unplugging hides the reader from the bus list and closes the connection that held it open;
  // replugging attaches it again, last in the bus order, after a power cycle (cards IDLE,
  // settings at power-on values, the EEPROM and the jumpers as they were). Cards stay in the
  // field throughout. A reader also unplugs itself after answering 0x62 or 0x66 (boot loader).
  void unplug(int reader);
  void replug(int reader);
  bool isPlugged(int reader) const;

  // The reader's settings as its instructions left them (line speeds, RF scan, boot loader
  // mode, LED and buzzer states, registers, EEPROM).
  ReaderState readerState(int reader) const;
  // The serial speed code the reader's jumpers select, reported by instruction 0x83 (any byte:
  // codes above 4 are outside the speed table); kept across power cycles.
  void setJumperCode(int reader, uint8_t code);

  // The instruction log: every request frame and its reply, decoded, oldest first.
  std::vector<LogEntry> log(int reader) const;
  void clearLog(int reader);
  // Waits until the log holds at least count entries; false on time-out.
  bool waitForLog(int reader, size_t count,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) const;

  // Faults on demand. One-shot faults apply to the next request frame the reader receives.
  void corruptNextReplyCrc(int reader);
  void staleNextReplySequence(int reader);
  // The next `requests` request frames are swallowed: not executed, not answered.
  void stayInactive(int reader, unsigned requests);
  // The next request is not executed and is answered with this status byte and no data.
  void forceNextStatus(int reader, int8_t status);
  // The card (every card when uid is empty) leaves the field once the reader has executed
  // `instructions` more instructions; 0 takes it away now.
  void removeCardAfter(int reader, unsigned instructions, const std::vector<uint8_t>& uid = {});
  // The next reply goes out ms milliseconds late (a reader slower than the host's time-out).
  void delayNextReply(int reader, unsigned ms);
  // Every reply goes out one packet every gapMs milliseconds until cleared (0 clears).
  void trickleReplies(int reader, unsigned gapMs);
  // Intercepts instructions until replaced or cleared (see InstructionHook).
  void setInstructionHook(int reader, InstructionHook hook);
  // ISO 14443-4 card faults (see TclFaultKind), armed on every iso14443-4 card in the field or on
  // the one with this UID; each fires once. Throws std::invalid_argument when no such card is
  // there.
  void injectCardFault(int reader, const tcl::TclFault& fault,
                       const std::vector<uint8_t>& uid = {});
  // Disarms the reader's faults and those of its cards.
  void clearFaults(int reader);

  // The bus stops accepting connections for this long, as a hung simulator does (see
  // BusServer::stopAccepting); a duration of 0 accepts again.
  void stopAccepting(std::chrono::milliseconds duration);

  // Modelled hardware time (see sim/timing): a reader's exchanges and their modelled time since
  // its last reset, and the mode of every reader, present and future (accounting by default).
  TimingTotals timing(int reader) const;
  void resetTiming(int reader);
  void setTimingMode(TimingMode mode);

  // Runs one control command line, as a 'C' message on the bus does; returns the answer.
  std::string control(const std::string& commandLine);

 private:
  DeviceRegistry devices_;
  std::atomic<TimingMode> timingMode_{TimingMode::kAccounting};
  std::unique_ptr<BusServer> server_;  // after devices_: its threads use them
};

}  // namespace norvexsim
