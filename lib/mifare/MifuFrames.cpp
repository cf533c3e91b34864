// SPDX-License-Identifier: MIT
#include "mifare/MifuFrames.h"

#include <algorithm>
#include <vector>

#include "status/StatusCodes.h"

namespace mifu {
namespace {

constexpr uint8_t kByteStreamFlags = 0x1E;  // reader firmware: CRC_A added and checked

}  // namespace

long ExchangeFrame(Host2RDCom& reader, std::span<const uint8_t> frame, std::span<uint8_t> answer,
                   long refusedStatus) {
  std::vector<uint8_t> heard(answer.size() + 1);  // one more: a longer answer is noticed
  uint16_t length = static_cast<uint16_t>(heard.size());
  const long status = reader.RdPiccExchangeByteStream(
      kByteStreamFlags, frame.data(), static_cast<uint16_t>(frame.size()), heard.data(), &length);
  if (status == wrong_parameter_value && length > heard.size()) return resp_too_long;
  if (status != 0) return status;
  if (length == 1 && answer.size() != 1) return refusedStatus;
  if (length != answer.size()) return resp_too_short;
  std::copy_n(heard.begin(), length, answer.begin());
  return 0;
}

}  // namespace mifu
