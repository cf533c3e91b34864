// SPDX-License-Identifier: MIT
#include "sim/control/ControlCommands.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "sim/Simulator.h"
#include "sim/control/FaultCommand.h"
#include "sim/control/Hex.h"
#include "sim/control/ProductId.h"
#include "sim/control/TimingCommand.h"
#include "sim/reader/LineSpeed.h"

namespace norvexsim {

namespace {

using Words = std::vector<std::string>;

// A control command failed; its message becomes the "error ..." answer.
struct CommandError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

Words splitWords(const std::string& line) {
  std::istringstream stream(line);
  Words words;
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

void expectArgs(const Words& words, size_t least, size_t most, const char* usage) {
  const size_t args = words.size() - 1;
  if (args < least || args > most) throw CommandError(std::string("usage: ") + usage);
}

int readerArg(const Simulator& simulator, const std::string& word) {
  size_t used = 0;
  int index = -1;
  try {
    index = std::stoi(word, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != word.size() || index < 0 || index >= simulator.readerCount()) {
    throw CommandError("no reader " + word);
  }
  return index;
}

std::string withLines(const std::vector<std::string>& lines) {
  std::string answer = "ok " + std::to_string(lines.size());
  for (const auto& line : lines) answer += "\n" + line;
  return answer;
}

std::string place(Simulator& sim, const Words& w) {
  expectArgs(w, 2, 2, "place READER CARD");
  const int reader = readerArg(sim, w[1]);
  if (w[2].size() > kMaxCardDescription) {
    throw CommandError("card description longer than " + std::to_string(kMaxCardDescription) +
                       " characters");
  }
  if (sim.cards(reader).size() >= static_cast<size_t>(kMaxCardsPerField)) {
    throw CommandError("at most " + std::to_string(kMaxCardsPerField) + " cards per field");
  }
  try {
    return "ok " + toHex(sim.placeCard(reader, w[2]));
  } catch (const std::invalid_argument& bad) {
    throw CommandError(bad.what());
  }
}

std::string remove(Simulator& sim, const Words& w) {
  expectArgs(w, 2, 2, "remove READER UIDHEX");
  const int reader = readerArg(sim, w[1]);
  const auto uid = parseHex(w[2]);
  if (!uid) throw CommandError("not a hexadecimal UID: " + w[2]);
  if (!sim.removeCard(reader, *uid)) throw CommandError("no card " + w[2] + " in reader " + w[1]);
  return "ok";
}

std::string clear(Simulator& sim, const Words& w) {
  expectArgs(w, 1, 1, "clear READER");
  sim.removeAllCards(readerArg(sim, w[1]));
  return "ok";
}

std::string list(Simulator& sim, const Words& w) {
  expectArgs(w, 0, 1, "list [READER]");
  if (w.size() == 2) return withLines(sim.cards(readerArg(sim, w[1])));
  std::vector<std::string> lines;
  for (int reader = 0; reader < sim.readerCount(); ++reader) {
    for (const auto& card : sim.cards(reader)) lines.push_back(std::to_string(reader) + " " + card);
  }
  return withLines(lines);
}

std::string readers(Simulator& sim, const Words& w) {
  expectArgs(w, 0, 0, "readers");
  std::vector<std::string> lines;
  for (int reader = 0; reader < sim.readerCount(); ++reader) {
    char line[64];
    std::snprintf(line, sizeof line, "%d %04X:%04X %s", reader, kVendorId, sim.productId(reader),
                  sim.isPlugged(reader) ? "plugged" : "unplugged");
    lines.push_back(line);
  }
  return withLines(lines);
}

std::string add(Simulator& sim, const Words& w) {
  expectArgs(w, 0, 1, "add [PID]");
  uint16_t productId = kDefaultProductId;
  if (w.size() == 2) {
    const auto parsed = parseProductId(w[1]);
    if (!parsed) throw CommandError("not a product ID: " + w[1]);
    productId = *parsed;
  }
  if (sim.readerCount() >= kMaxControlReaders) {
    throw CommandError("at most " + std::to_string(kMaxControlReaders) + " readers");
  }
  return "ok " + std::to_string(sim.addReader(productId));
}

std::string unplug(Simulator& sim, const Words& w) {
  expectArgs(w, 1, 1, "unplug READER");
  sim.unplug(readerArg(sim, w[1]));
  return "ok";
}

std::string replug(Simulator& sim, const Words& w) {
  expectArgs(w, 1, 1, "replug READER");
  sim.replug(readerArg(sim, w[1]));
  return "ok";
}

std::string state(Simulator& sim, const Words& w) {
  expectArgs(w, 1, 1, "state READER");
  return withLines(describe(sim.readerState(readerArg(sim, w[1]))));
}

std::string jumper(Simulator& sim, const Words& w) {
  expectArgs(w, 2, 2, "jumper READER SPEED|code:N");
  const int reader = readerArg(sim, w[1]);
  const auto code = parseJumperSetting(w[2]);
  if (!code) throw CommandError("not a jumper speed (9600 ... 115200, or code:0-255): " + w[2]);
  sim.setJumperCode(reader, *code);
  return "ok";
}

std::string fault(Simulator& sim, const Words& w) {
  if (w.size() < 3) throw CommandError("usage: fault READER KIND [N] [UIDHEX]");
  const int reader = readerArg(sim, w[1]);
  applyFault(sim, reader, Words(w.begin() + 2, w.end()));
  return "ok";
}

unsigned millisecondsArg(const std::string& word) {
  size_t used = 0;
  unsigned long ms = 0;
  try {
    ms = std::stoul(word, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != word.size() || word[0] == '-' || ms > 3600000) {
    throw CommandError("not a time in milliseconds (0 to 3600000): " + word);
  }
  return static_cast<unsigned>(ms);
}

std::string delay(Simulator& sim, const Words& w) {
  expectArgs(w, 2, 2, "delay READER MS");
  sim.delayNextReply(readerArg(sim, w[1]), millisecondsArg(w[2]));
  return "ok";
}

std::string trickle(Simulator& sim, const Words& w) {
  expectArgs(w, 2, 2, "trickle READER MS");
  sim.trickleReplies(readerArg(sim, w[1]), millisecondsArg(w[2]));
  return "ok";
}

std::string freeze(Simulator& sim, const Words& w) {
  expectArgs(w, 1, 1, "freeze MS");
  sim.stopAccepting(std::chrono::milliseconds(millisecondsArg(w[1])));
  return "ok";
}

std::string timing(Simulator& sim, const Words& w) {
  return runTimingCommand(sim, Words(w.begin() + 1, w.end()));
}

std::string help(Simulator&, const Words& w) {
  expectArgs(w, 0, 0, "help");
  return withLines({"place READER CARD", "remove READER UIDHEX", "clear READER", "list [READER]",
                    "readers", "add [PID]", "unplug READER", "replug READER", "state READER",
                    "jumper READER SPEED|code:N", "delay READER MS", "trickle READER MS",
                    "freeze MS", std::string("fault READER KIND [N] [UIDHEX]: ") + faultKinds(),
                    "timing [reset|real|accounting]", "help"});
}

using Command = std::function<std::string(Simulator&, const Words&)>;

const std::map<std::string, Command>& commands() {
  static const std::map<std::string, Command> table = {
      {"place", place},     {"remove", remove},   {"clear", clear},   {"list", list},
      {"readers", readers}, {"add", add},         {"unplug", unplug}, {"replug", replug},
      {"delay", delay},     {"trickle", trickle}, {"freeze", freeze}, {"fault", fault},
      {"state", state},     {"jumper", jumper},   {"timing", timing}, {"help", help}};
  return table;
}

// An error answer is one line: control characters a host put into its words are not echoed.
std::string errorAnswer(const std::string& message) {
  std::string answer = "error " + message;
  for (char& c : answer) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return answer;
}

}  // namespace

std::string runControlCommand(Simulator& simulator, const std::string& commandLine) {
  const Words words = splitWords(commandLine);
  if (words.empty()) return errorAnswer("empty command");
  const auto command = commands().find(words[0]);
  if (command == commands().end()) return errorAnswer("unknown command: " + words[0]);
  // One command at a time, so that the bounds checked before a change still hold when it is made.
  static std::mutex oneAtATime;
  std::lock_guard lock(oneAtATime);
  try {
    return command->second(simulator, words);
  } catch (const std::exception& failed) {
    return errorAnswer(failed.what());
  }
}

}  // namespace norvexsim
