// SPDX-License-Identifier: MIT
#include "pcsc/CommandApdu.h"

namespace norvex::pcsc {

std::optional<CommandApdu> parseCommandApdu(std::span<const uint8_t> apdu) {
  if (apdu.size() < 4) return std::nullopt;
  CommandApdu command{apdu[0], apdu[1], apdu[2], apdu[3], {}, std::nullopt};
  const auto body = apdu.subspan(4);
  if (body.empty()) return command;
  if (body.size() == 1) {
    command.le = body[0] == 0 ? 256u : body[0];
    return command;
  }
  const size_t lc = body[0];
  if (lc == 0) return std::nullopt;  // extended lengths are not used by the pseudo-APDUs
  if (body.size() == 1 + lc) {
    command.data = body.subspan(1, lc);
    return command;
  }
  if (body.size() == 2 + lc) {
    command.data = body.subspan(1, lc);
    command.le = body.back() == 0 ? 256u : body.back();
    return command;
  }
  return std::nullopt;
}

}  // namespace norvex::pcsc
