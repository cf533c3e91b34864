// SPDX-License-Identifier: MIT
#pragma once
// The answer to select (ATS) of an ISO/IEC 14443-4 type A card and what it announces: the
// card's frame size (FSCI in T0), the bit rates it supports (TA), its frame waiting time (FWI in
// TB) and whether it supports CID and NAD (TC). Absent interface bytes take the standard's
// defaults: FSCI 2, TA 00, FWI 4, TC 02.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace norvexsim::tcl {

// FSDI/FSCI to a frame size in bytes (PCB to CRC): 16, 24, 32, 40, 48, 64, 96, 128, 256, then
// 512 to 4096 for 9 to 12; the RFU codes 13 to 15 count as 256.
size_t frameSizeOf(uint8_t code);
// The frame waiting time of FWI 0-14: (256 * 16 / fc) * 2^FWI, fc = 13.56 MHz.
std::chrono::microseconds frameWaitingTimeOf(uint8_t fwi);

class Ats {
 public:
  // TL 0A, T0 78 (TA, TB, TC present, FSCI 8: 256-byte frames), TA 77 (106 to 848 kbit/s in
  // both directions), TB 81 (FWI 8: about 77 ms, SFGI 1), TC 02 (CID, no NAD), then the
  // historical bytes 80 53 4E 56 58 (compact-TLV: issuer data "NVX").
  static Ats standard();
  // The whole ATS as sent, TL first. Throws std::invalid_argument when TL is not its length or
  // T0 announces more interface bytes than there are, or sets its RFU bit.
  static Ats parse(std::vector<uint8_t> bytes);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  uint8_t fsci() const;
  size_t fsc() const { return frameSizeOf(fsci()); }
  uint8_t ta() const;
  uint8_t fwi() const;
  // The frame waiting time: (256 * 16 / fc) * 2^FWI, fc = 13.56 MHz.
  std::chrono::microseconds fwt() const;
  bool cidSupported() const;
  bool nadSupported() const;

  // Throws std::invalid_argument for a code above 12, or (setCid) when the ATS has no TC.
  void setFsci(uint8_t code);
  void setCidSupported(bool supported);

 private:
  explicit Ats(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::optional<size_t> offsetOf(uint8_t presenceBit) const;

  std::vector<uint8_t> bytes_;
};

}  // namespace norvexsim::tcl
