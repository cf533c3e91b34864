// SPDX-License-Identifier: MIT
// Static lock bytes, page 2 bytes 2 and 3 read as a 16-bit word (byte 2 low): bits 3 to 15 lock
// pages 3 to 15 (bits 0-2 are block-lock bits, which freeze lock bits, not pages). Dynamic lock
// bytes 0 and 1, read the same way: bit i locks pages 16 + i·g to 16 + (i+1)·g - 1 of the user
// memory (g = 2 on the NTAG213, NTAG212 and Ultralight EV1 MF0UL21, 16 on the NTAG215/216).
// AUTH0 is byte 3 of CFG0 on the EV1 and NTAG chips, PROT bit 7 of ACCESS (byte 0 of CFG1); the
// Ultralight C keeps AUTH0 in page 0x2A and AUTH1 (bit 0 set: writes only) in page 0x2B.
#include "dump/Type2Layout.h"

#include <array>

#include "norvexapi.h"

namespace norvex::dump {

namespace {

constexpr std::array kChips = {
    Type2Chip{MIFU_CHIP_ULTRALIGHT, "ultralight", "Mifare Ultralight", 16, 0, 0, 0, false, false},
    Type2Chip{MIFU_CHIP_UL_EV1_MF0UL11, "ultralight-ev1",
              "Mifare Ultralight EV1 (MF0UL11, 48 bytes)", 20, 0x10, 0, 0, true, false},
    Type2Chip{MIFU_CHIP_UL_EV1_MF0UL21, "ultralight-ev1",
              "Mifare Ultralight EV1 (MF0UL21, 128 bytes)", 41, 0x25, 0x24, 2, true, false},
    Type2Chip{MIFU_CHIP_NTAG210, "ntag210", "NTAG210", 20, 0x10, 0, 0, true, false},
    Type2Chip{MIFU_CHIP_NTAG212, "ntag212", "NTAG212", 41, 0x25, 0x24, 2, true, false},
    Type2Chip{MIFU_CHIP_NTAG213, "ntag213", "NTAG213", 45, 0x29, 0x28, 2, true, false},
    Type2Chip{MIFU_CHIP_NTAG215, "ntag215", "NTAG215", 135, 0x83, 0x82, 16, true, false},
    Type2Chip{MIFU_CHIP_NTAG216, "ntag216", "NTAG216", 231, 0xE3, 0xE2, 16, true, false},
    Type2Chip{MIFU_CHIP_ULTRALIGHT_C, "ultralight-c", "Mifare Ultralight C", 44, 0, 0x28, 0, false,
              true},
};

constexpr unsigned kLockPage = 2;
constexpr unsigned kOtpPage = 3;
constexpr unsigned kFirstDynamicPage = 16;
constexpr unsigned kUlcCounterPage = 0x29;
constexpr unsigned kUlcAuth0Page = 0x2A;
constexpr unsigned kUlcAuth1Page = 0x2B;
constexpr unsigned kUlcPages = 0x30;
constexpr uint8_t kProtectReads = 0x80;

// The 16-bit word of bytes `byte` and `byte + 1` of a page, when both were read.
std::optional<unsigned> lockWord(std::span<const uint8_t> memory, unsigned page, unsigned byte) {
  const std::size_t at = std::size_t{page} * kType2PageSize + byte;
  if (at + 1 >= memory.size()) return std::nullopt;
  return static_cast<unsigned>(memory[at]) | static_cast<unsigned>(memory[at + 1]) << 8;
}

std::optional<uint8_t> byteAt(std::span<const uint8_t> memory, unsigned page, unsigned byte) {
  const std::size_t at = std::size_t{page} * kType2PageSize + byte;
  if (at >= memory.size()) return std::nullopt;
  return memory[at];
}

}  // namespace

const Type2Chip& type2Chip(uint8_t chip) {
  for (const Type2Chip& row : kChips)
    if (row.chip == chip) return row;
  return kChips.front();
}

Type2Role type2Role(const Type2Chip& chip, unsigned page) {
  if (page < kLockPage) return Type2Role::Uid;
  if (page == kLockPage) return Type2Role::LockBytes;
  if (page == kOtpPage) return Type2Role::Otp;
  if (chip.dynamicLockPage != 0 && page == chip.dynamicLockPage) return Type2Role::DynamicLock;
  if (chip.tripleDes) {
    if (page == kUlcCounterPage) return Type2Role::Counter;
    if (page == kUlcAuth0Page || page == kUlcAuth1Page) return Type2Role::Auth;
    if (page > kUlcAuth1Page) return Type2Role::Password;  // the 3DES key
  }
  if (chip.configPage != 0 && page >= chip.configPage) {
    const unsigned offset = page - chip.configPage;
    if (offset < 2) return Type2Role::Config;
    return offset == 2 ? Type2Role::Password : Type2Role::Pack;
  }
  return Type2Role::User;
}

std::string type2RoleName(const Type2Chip& chip, unsigned page) {
  switch (type2Role(chip, page)) {
    case Type2Role::Uid:
      return page == 0 ? "UID 0-2, BCC0" : "UID 3-6";
    case Type2Role::LockBytes:
      return "BCC1, internal, lock bytes";
    case Type2Role::Otp:
      return "OTP / capability container";
    case Type2Role::User:
      return "";
    case Type2Role::DynamicLock:
      return "dynamic lock bytes";
    case Type2Role::Config:
      return page == chip.configPage ? "CFG0 (AUTH0)" : "CFG1 (ACCESS)";
    case Type2Role::Password:
      return chip.tripleDes ? "3DES key" : "PWD";
    case Type2Role::Pack:
      return "PACK";
    case Type2Role::Counter:
      return "16-bit counter";
    case Type2Role::Auth:
      return page == kUlcAuth0Page ? "AUTH0" : "AUTH1";
  }
  return "";
}

bool type2Guarded(Type2Role role) {
  return role != Type2Role::User && role != Type2Role::Uid;
}

bool type2PageLocked(const Type2Chip& chip, std::span<const uint8_t> memory, unsigned page) {
  if (page < kLockPage) return true;
  if (page < kOtpPage) return false;
  if (page < kFirstDynamicPage) {
    const auto bits = lockWord(memory, kLockPage, 2);
    return bits && (*bits >> page & 1U) != 0;
  }
  if (chip.pagesPerLockBit == 0 || page >= chip.dynamicLockPage) return false;
  const auto bits = lockWord(memory, chip.dynamicLockPage, 0);
  const unsigned bit = (page - kFirstDynamicPage) / chip.pagesPerLockBit;
  return bits && bit < 16 && (*bits >> bit & 1U) != 0;
}

std::optional<Type2Protection> type2Protection(const Type2Chip& chip,
                                               std::span<const uint8_t> memory) {
  if (chip.tripleDes) {
    const auto auth0 = byteAt(memory, kUlcAuth0Page, 0);
    const auto auth1 = byteAt(memory, kUlcAuth1Page, 0);
    if (!auth0 || !auth1 || *auth0 >= kUlcPages) return std::nullopt;
    return Type2Protection{*auth0, (*auth1 & 1U) == 0};
  }
  if (chip.configPage == 0) return std::nullopt;
  const auto auth0 = byteAt(memory, chip.configPage, 3);
  const auto access = byteAt(memory, chip.configPage + 1, 0);
  if (!auth0 || !access || *auth0 > chip.configPage + 3) return std::nullopt;
  return Type2Protection{*auth0, (*access & kProtectReads) != 0};
}

}  // namespace norvex::dump
