// SPDX-License-Identifier: MIT
#include "pcsc/Atr.h"

#include <algorithm>
#include <iterator>

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

std::vector<uint8_t> typeBAtr(std::span<const uint8_t, 4> applicationData,
                              std::span<const uint8_t, 3> protocolInfo, uint8_t attribAnswer) {
  constexpr uint8_t kMbliMask = 0xF0;  // the low nibble of the ATTRIB answer is the CID
  std::vector<uint8_t> historical(applicationData.begin(), applicationData.end());
  historical.insert(historical.end(), protocolInfo.begin(), protocolInfo.end());
  historical.push_back(attribAnswer & kMbliMask);
  return iso14443_4Atr(historical);
}

std::vector<uint8_t> storageCardAtr(uint16_t cardName) {
  // After TS, T0, TD1 and TD2: the category indicator 80, then the application identifier TLV
  // (4F 0C): the registered application provider A0 00 00 03 06 and the standard.
  constexpr uint8_t kPrefix[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C,
                                 0xA0, 0x00, 0x00, 0x03, 0x06, 0x03};
  std::vector<uint8_t> atr(std::begin(kPrefix), std::end(kPrefix));
  atr.push_back(static_cast<uint8_t>(cardName >> 8));
  atr.push_back(static_cast<uint8_t>(cardName));
  atr.resize(atr.size() + 4, 0x00);  // RFU
  appendCheck(atr);
  return atr;
}

}  // namespace norvex::pcsc
