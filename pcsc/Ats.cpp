// SPDX-License-Identifier: MIT
#include "pcsc/Ats.h"

#include <algorithm>

namespace norvex::pcsc {

namespace {
constexpr uint16_t kFscOfFsci[] = {16, 24, 32, 40, 48, 64, 96, 128, 256, 512, 1024};
constexpr uint8_t kTaPresent = 0x10, kTbPresent = 0x20, kTcPresent = 0x40;
constexpr unsigned kDefaultFwi = 4, kLongestFwi = 14;
}  // namespace

uint16_t frameSizeOfCode(unsigned code) {
  return kFscOfFsci[std::min<size_t>(code, std::size(kFscOfFsci) - 1)];
}

// About 302 microseconds times 2^FWI.
uint32_t waitingTimeMsOfFwi(unsigned fwi) {
  const uint64_t micros = (4096ULL * 1000000ULL / 13560000ULL + 1) << std::min(fwi, kLongestFwi);
  return static_cast<uint32_t>((micros + 999) / 1000);
}

AtsInfo parseAts(std::span<const uint8_t> ats) {
  AtsInfo info;
  info.waitingTimeMs = waitingTimeMsOfFwi(kDefaultFwi);
  if (ats.empty()) return info;
  const size_t end = std::min<size_t>(ats[0], ats.size());
  if (end < 2) return info;
  const uint8_t t0 = ats[1];
  info.fsci = t0 & 0x0F;
  info.frameSize = frameSizeOfCode(info.fsci);
  size_t at = 2;
  if (t0 & kTaPresent) ++at;
  if (t0 & kTbPresent) {
    if (at < end) info.waitingTimeMs = waitingTimeMsOfFwi(ats[at] >> 4);
    ++at;
  }
  if (t0 & kTcPresent) ++at;
  if (at < end)
    info.historicalBytes.assign(ats.begin() + static_cast<std::ptrdiff_t>(at),
                                ats.begin() + static_cast<std::ptrdiff_t>(end));
  return info;
}

}  // namespace norvex::pcsc
