// SPDX-License-Identifier: MIT
#include "sim/cards/iso7816/Apdu.h"

namespace norvexsim::iso7816 {
namespace {

constexpr size_t kHeader = 4;

size_t be16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<size_t>(bytes[at] << 8 | bytes[at + 1]);
}

// Le of 1 or 2 bytes: 00 / 0000 stand for the maximum, 256 / 65536.
void setLe(Command& command, size_t value, size_t maximum) {
  command.neMaximum = value == 0;
  command.ne = value == 0 ? maximum : value;
}

}  // namespace

std::optional<Command> parseCommand(std::span<const uint8_t> apdu) {
  if (apdu.size() < kHeader) return std::nullopt;
  Command command{apdu[0], apdu[1], apdu[2], apdu[3], {}, std::nullopt, false};
  const auto body = apdu.subspan(kHeader);
  if (body.empty()) return command;                  // case 1
  if (body.size() == 1) {                            // case 2, short
    setLe(command, body[0], 256);
    return command;
  }
  if (body[0] != 0) {                                // cases 3 and 4, short
    const size_t lc = body[0];
    if (body.size() != 1 + lc && body.size() != 2 + lc) return std::nullopt;
    command.data.assign(body.begin() + 1, body.begin() + 1 + static_cast<std::ptrdiff_t>(lc));
    if (body.size() == 2 + lc) setLe(command, body.back(), 256);
    return command;
  }
  if (body.size() == 3) {                            // case 2, extended
    setLe(command, be16(body, 1), 65536);
    return command;
  }
  if (body.size() < 3) return std::nullopt;
  const size_t lc = be16(body, 1);                   // cases 3 and 4, extended
  if (lc == 0 || (body.size() != 3 + lc && body.size() != 5 + lc)) return std::nullopt;
  command.data.assign(body.begin() + 3, body.begin() + 3 + static_cast<std::ptrdiff_t>(lc));
  if (body.size() == 5 + lc) setLe(command, be16(body, 3 + lc), 65536);
  return command;
}

std::vector<uint8_t> withStatus(std::vector<uint8_t> data, uint16_t sw) {
  data.push_back(static_cast<uint8_t>(sw >> 8));
  data.push_back(static_cast<uint8_t>(sw));
  return data;
}

}  // namespace norvexsim::iso7816
