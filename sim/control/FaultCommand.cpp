// SPDX-License-Identifier: MIT
#include "sim/control/FaultCommand.h"

#include <map>
#include <stdexcept>

#include "sim/Simulator.h"
#include "sim/control/Hex.h"

namespace norvexsim {
namespace {

using Args = std::vector<std::string>;
using tcl::TclFaultKind;

long number(const Args& args, size_t index, long least, long most) {
  if (index >= args.size()) throw std::invalid_argument("fault " + args[0] + " needs a number");
  size_t used = 0;
  long value = 0;
  try {
    value = std::stol(args[index], &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != args[index].size() || value < least || value > most) {
    throw std::invalid_argument("not a number from " + std::to_string(least) + " to " +
                                std::to_string(most) + ": " + args[index]);
  }
  return value;
}

// The optional UID after `used` words, and nothing after it.
std::vector<uint8_t> uidAfter(const Args& args, size_t used) {
  if (args.size() > used + 1) throw std::invalid_argument("too many words for fault " + args[0]);
  if (args.size() == used) return {};
  const auto uid = parseHex(args[used]);
  if (!uid) throw std::invalid_argument("not a hexadecimal UID: " + args[used]);
  return *uid;
}

void noMore(const Args& args, size_t used) {
  if (args.size() != used) throw std::invalid_argument("too many words for fault " + args[0]);
}

// Card faults: the kind, and whether it takes a number.
struct CardFaultName {
  TclFaultKind kind;
  bool counted;
};

const std::map<std::string, CardFaultName>& cardFaults() {
  static const std::map<std::string, CardFaultName> names = {
      {"wtx", {TclFaultKind::WtxRequests, true}},
      {"slow", {TclFaultKind::SlowAnswer, true}},
      {"lose-iblock", {TclFaultKind::LoseIBlock, false}},
      {"nak", {TclFaultKind::NakIBlock, false}},
      {"wrong-ack", {TclFaultKind::WrongAckNumber, false}},
      {"empty", {TclFaultKind::EmptyAnswer, false}},
      {"one-byte", {TclFaultKind::OneByteAnswer, false}},
      {"oversize", {TclFaultKind::OversizeFrame, false}},
      {"leave-mid-chain", {TclFaultKind::LeaveMidChain, false}},
  };
  return names;
}

constexpr long kMaxCount = 1000000;

}  // namespace

const char* faultKinds() {
  return "crc, stale, silence N, status S, leave N [UID], clear, wtx N, slow MS, lose-iblock, "
         "nak, wrong-ack, empty, one-byte, oversize, leave-mid-chain";
}

void applyFault(Simulator& sim, int reader, const Args& args) {
  const std::string& kind = args.at(0);
  if (kind == "crc") {
    noMore(args, 1);
    sim.corruptNextReplyCrc(reader);
  } else if (kind == "stale") {
    noMore(args, 1);
    sim.staleNextReplySequence(reader);
  } else if (kind == "silence") {
    const auto count = number(args, 1, 1, kMaxCount);
    noMore(args, 2);
    sim.stayInactive(reader, static_cast<unsigned>(count));
  } else if (kind == "status") {
    const auto status = number(args, 1, -128, 127);
    noMore(args, 2);
    sim.forceNextStatus(reader, static_cast<int8_t>(status));
  } else if (kind == "leave") {
    const auto count = number(args, 1, 0, kMaxCount);
    sim.removeCardAfter(reader, static_cast<unsigned>(count), uidAfter(args, 2));
  } else if (kind == "clear") {
    noMore(args, 1);
    sim.clearFaults(reader);
  } else if (const auto card = cardFaults().find(kind); card != cardFaults().end()) {
    tcl::TclFault fault{card->second.kind, 1};
    size_t used = 1;
    if (card->second.counted) fault.amount = static_cast<unsigned>(number(args, used++, 1, kMaxCount));
    sim.injectCardFault(reader, fault, uidAfter(args, used));
  } else {
    throw std::invalid_argument("unknown fault " + kind + " (" + faultKinds() + ")");
  }
}

}  // namespace norvexsim
