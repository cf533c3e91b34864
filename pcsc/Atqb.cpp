// SPDX-License-Identifier: MIT
#include "pcsc/Atqb.h"

#include <algorithm>

#include "pcsc/Ats.h"

namespace norvex::pcsc {

namespace {
constexpr uint8_t kAtqbCode = 0x50;
constexpr size_t kAtqbLength = 12, kPupiAt = 1, kApplicationDataAt = 5, kProtocolInfoAt = 9;
constexpr uint8_t kCidSupported = 0x01;  // FO bit b1 of protocol info byte 3
}  // namespace

std::optional<AtqbInfo> parseAtqb(std::span<const uint8_t> atqb) {
  if (atqb.size() < kAtqbLength || atqb[0] != kAtqbCode) return std::nullopt;
  AtqbInfo info;
  std::copy_n(atqb.begin() + kPupiAt, info.pupi.size(), info.pupi.begin());
  std::copy_n(atqb.begin() + kApplicationDataAt, info.applicationData.size(),
              info.applicationData.begin());
  std::copy_n(atqb.begin() + kProtocolInfoAt, info.protocolInfo.size(), info.protocolInfo.begin());
  // Protocol info byte 2: Max_Frame_Size in bits 8-5; byte 3: FWI in bits 8-5, FO in bits 2-1.
  info.frameSize = frameSizeOfCode(info.protocolInfo[1] >> 4);
  info.waitingTimeMs = waitingTimeMsOfFwi(info.protocolInfo[2] >> 4);
  info.cidSupported = (info.protocolInfo[2] & kCidSupported) != 0;
  return info;
}

}  // namespace norvex::pcsc
