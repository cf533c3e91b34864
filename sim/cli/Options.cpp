// SPDX-License-Identifier: MIT
#include "sim/cli/Options.h"

#include <stdexcept>

#include "sim/bus/DeviceRegistry.h"
#include "sim/control/ProductId.h"
#include "sim/reader/LineSpeed.h"

namespace norvexsim {

namespace {

const std::string& valueOf(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
  return args[++i];
}

Options parseControl(const std::vector<std::string>& args) {
  Options options;
  options.mode = Options::Mode::kControl;
  if (args.size() < 3) throw std::invalid_argument("--control needs a socket path and a command");
  options.socketPath = args[1];
  for (size_t i = 2; i < args.size(); ++i) {
    if (!options.controlCommand.empty()) options.controlCommand += ' ';
    options.controlCommand += args[i];
  }
  return options;
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "--control") return parseControl(args);
  Options options;
  bool defaultReaderMade = false;
  bool namedReaderSeen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.mode = Options::Mode::kHelp;
      return options;
    } else if (arg == "--socket") {
      options.socketPath = valueOf(args, i);
    } else if (arg == "--timing") {
      const std::string& mode = valueOf(args, i);
      if (mode != "real" && mode != "accounting") {
        throw std::invalid_argument("--timing takes real or accounting: " + mode);
      }
      options.realTime = mode == "real";
    } else if (arg == "--reader") {
      const std::string& text = valueOf(args, i);
      const auto productId = parseProductId(text);
      if (!productId) throw std::invalid_argument("not a product ID: " + text);
      options.readers.push_back(ReaderSetup{*productId, {}, {}});
      namedReaderSeen = true;
    } else if (arg == "--card" || arg == "--jumper") {
      const std::string& value = valueOf(args, i);
      if (!namedReaderSeen && !defaultReaderMade) {
        options.readers.push_back(ReaderSetup{kDefaultProductId, {}, {}});
        defaultReaderMade = true;
      }
      if (arg == "--card") {
        options.readers.back().cards.push_back(value);
      } else {
        options.readers.back().jumperCode = parseJumperSetting(value);
        if (!options.readers.back().jumperCode) {
          throw std::invalid_argument("not a jumper speed (9600 ... 115200, or code:N): " + value);
        }
      }
    } else {
      throw std::invalid_argument("unknown argument: " + arg);
    }
  }
  if (options.socketPath.empty()) throw std::invalid_argument("--socket PATH is required");
  if (options.readers.empty()) options.readers.push_back(ReaderSetup{kDefaultProductId, {}, {}});
  return options;
}

const char* usage() {
  return "usage: norvex-sim --socket PATH [--timing real|accounting] [--reader PID]...\n"
         "                  [--jumper SPEED]... [--card CARD]...\n"
         "       norvex-sim --control PATH COMMAND...\n"
         "Serves simulated card readers on the Unix socket PATH (default: one reader, product\n"
         "ID 0x0110). Each --card CARD (KIND[:key=value,...], e.g. classic1k:uid=04A1B2C3) goes\n"
         "into the reader of the last --reader before it; --jumper SPEED (9600, 19200, 38400,\n"
         "57600, 115200, or code:N) sets that reader's jumper line speed (default 115200).\n"
         "Every exchange gets the time it would take on a real reader and card; with --timing\n"
         "real each reply waits for it, by default it is only logged and totalled.\n"
         "With --control, sends COMMAND (place, remove, clear, list, readers, add, unplug,\n"
         "replug, state, jumper, fault, timing, help) to a running simulator.\n";
}

}  // namespace norvexsim
