// SPDX-License-Identifier: MIT
#include "sim/control/TimingCommand.h"

#include <stdexcept>

#include "sim/Simulator.h"

namespace norvexsim {

namespace {

std::string totals(const Simulator& simulator) {
  std::string answer = "ok " + std::to_string(simulator.readerCount());
  for (int reader = 0; reader < simulator.readerCount(); ++reader) {
    const TimingTotals t = simulator.timing(reader);
    answer += "\n" + std::to_string(reader) + " exchanges " + std::to_string(t.exchanges) +
              " modelled_us " + std::to_string(t.modelledUs);
  }
  return answer;
}

}  // namespace

std::string runTimingCommand(Simulator& simulator, const std::vector<std::string>& args) {
  if (args.empty()) return totals(simulator);
  if (args.size() == 1 && args[0] == "reset") {
    for (int reader = 0; reader < simulator.readerCount(); ++reader) simulator.resetTiming(reader);
    return "ok";
  }
  if (args.size() == 1 && (args[0] == "real" || args[0] == "accounting")) {
    simulator.setTimingMode(args[0] == "real" ? TimingMode::kRealTime : TimingMode::kAccounting);
    return "ok";
  }
  throw std::invalid_argument("usage: timing [reset|real|accounting]");
}

}  // namespace norvexsim
