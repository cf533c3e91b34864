// SPDX-License-Identifier: MIT
#include "pcsc/Atr.h"

#include <algorithm>

namespace norvex::pcsc {

namespace {
constexpr size_t kMostHistoricalBytes = 15;

// TCK makes the exclusive-or of every byte from T0 to TCK zero.
void appendCheck(std::vector<uint8_t>& atr) {
  uint8_t check = 0;
  for (size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
  atr.push_back(check);
}
}  // namespace

std::vector<uint8_t> iso14443_4Atr(std::span<const uint8_t> historicalBytes) {
  const size_t count = std::min(historicalBytes.size(), kMostHistoricalBytes);
  // TS, T0 (TD1 present, count historical bytes), TD1 (TD2 present, T=0), TD2 (T=1).
  std::vector<uint8_t> atr = {0x3B, static_cast<uint8_t>(0x80 | count), 0x80, 0x01};
  for (size_t i = 0; i < count; ++i) atr.push_back(historicalBytes[i]);
  appendCheck(atr);
  return atr;
}

std::vector<uint8_t> storageCardAtr(uint16_t cardName) {
  // Category indicator 80, then the application identifier TLV (4F 0C): the registered
  // application provider A0 00 00 03 06, the standard, the card name and four RFU bytes.
  std::vector<uint8_t> atr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                              0x03, 0x06, 0x03, static_cast<uint8_t>(cardName >> 8),
                              static_cast<uint8_t>(cardName), 0x00, 0x00, 0x00, 0x00};
  appendCheck(atr);
  return atr;
}

}  // namespace norvex::pcsc
