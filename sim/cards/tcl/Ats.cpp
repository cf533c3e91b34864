// SPDX-License-Identifier: MIT
#include "sim/cards/tcl/Ats.h"

#include <array>
#include <stdexcept>

namespace norvexsim::tcl {
namespace {

constexpr uint8_t kTaPresent = 0x10, kTbPresent = 0x20, kTcPresent = 0x40, kT0Rfu = 0x80;
constexpr uint8_t kTcNad = 0x01, kTcCid = 0x02;
constexpr uint8_t kDefaultFsci = 2, kDefaultFwi = 4, kDefaultTc = kTcCid, kHighestFsci = 12;
constexpr size_t kT0 = 1;

}  // namespace

size_t frameSizeOf(uint8_t code) {
  static constexpr std::array<size_t, 13> kSizes{16,  24,  32,  40,   48,   64,  96,
                                                 128, 256, 512, 1024, 2048, 4096};
  return code < kSizes.size() ? kSizes[code] : 256;
}

Ats Ats::standard() {
  return Ats({0x0A, 0x78, 0x77, 0x81, 0x02, 0x80, 0x53, 0x4E, 0x56, 0x58});
}

Ats Ats::parse(std::vector<uint8_t> bytes) {
  if (bytes.empty() || bytes[0] != bytes.size()) {
    throw std::invalid_argument("the ATS must start with its own length (TL)");
  }
  if (bytes.size() > kT0) {
    const uint8_t t0 = bytes[kT0];
    const size_t interfaceBytes = !!(t0 & kTaPresent) + !!(t0 & kTbPresent) + !!(t0 & kTcPresent);
    if (t0 & kT0Rfu) throw std::invalid_argument("the ATS sets the RFU bit 8 of T0");
    if (bytes.size() < 2 + interfaceBytes) {
      throw std::invalid_argument("the ATS lacks interface bytes that T0 announces");
    }
  }
  return Ats(std::move(bytes));
}

std::optional<size_t> Ats::offsetOf(uint8_t presenceBit) const {
  if (bytes_.size() <= kT0 || !(bytes_[kT0] & presenceBit)) return std::nullopt;
  size_t offset = kT0 + 1;
  for (uint8_t bit : {kTaPresent, kTbPresent}) {
    if (bit == presenceBit) break;
    if (bytes_[kT0] & bit) ++offset;
  }
  return offset;
}

uint8_t Ats::fsci() const {
  return bytes_.size() > kT0 ? bytes_[kT0] & 0x0F : kDefaultFsci;
}

uint8_t Ats::ta() const {
  const auto at = offsetOf(kTaPresent);
  return at ? bytes_[*at] : 0x00;
}

uint8_t Ats::fwi() const {
  const auto at = offsetOf(kTbPresent);
  if (!at) return kDefaultFwi;
  const uint8_t fwi = bytes_[*at] >> 4;
  return fwi == 15 ? kDefaultFwi : fwi;  // 15 is RFU: read as the default
}

std::chrono::microseconds frameWaitingTimeOf(uint8_t fwi) {
  // 256 * 16 / 13.56 MHz = 302.06 us, doubled FWI times.
  return std::chrono::microseconds((302064LL << fwi) / 1000);
}

std::chrono::microseconds Ats::fwt() const {
  return frameWaitingTimeOf(fwi());
}

bool Ats::cidSupported() const {
  const auto at = offsetOf(kTcPresent);
  return ((at ? bytes_[*at] : kDefaultTc) & kTcCid) != 0;
}

bool Ats::nadSupported() const {
  const auto at = offsetOf(kTcPresent);
  return ((at ? bytes_[*at] : kDefaultTc) & kTcNad) != 0;
}

void Ats::setFsci(uint8_t code) {
  if (code > kHighestFsci) throw std::invalid_argument("FSCI goes from 0 to 12");
  if (bytes_.size() <= kT0) throw std::invalid_argument("the ATS has no T0 to hold FSCI");
  bytes_[kT0] = static_cast<uint8_t>((bytes_[kT0] & 0xF0) | code);
}

void Ats::setCidSupported(bool supported) {
  const auto at = offsetOf(kTcPresent);
  if (!at) throw std::invalid_argument("the ATS has no TC to announce CID support in");
  bytes_[*at] = static_cast<uint8_t>(supported ? bytes_[*at] | kTcCid : bytes_[*at] & ~kTcCid);
}

}  // namespace norvexsim::tcl
