// SPDX-License-Identifier: MIT
// The memory of an NFC Forum type 2 tag (Mifare Ultralight, Ultralight C, Ultralight EV1,
// NTAG21x) page by page: which chip has which pages, what each page holds, which pages its lock
// bits make read-only and from which page its password or 3DES key protects.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace norvex::dump {

constexpr unsigned kType2PageSize = 4;

// A chip as MifU_GetVersion names it (MIFU_CHIP_*), with its page layout.
struct Type2Chip {
  uint8_t chip;
  const char* kind;  // "ntag213", "ultralight-c", ...
  const char* name;  // "NTAG213"
  // Pages a read reaches: the Ultralight C's write-only key pages at the end are not counted.
  unsigned readablePages;
  unsigned configPage;       // CFG0 (AUTH0 in byte 3), then CFG1 (ACCESS), PWD, PACK; 0: none
  unsigned dynamicLockPage;  // 0: no dynamic lock bytes
  unsigned pagesPerLockBit;  // pages each dynamic lock bit covers from page 16; 0: not decoded
  bool fastRead;             // FAST_READ and PWD_AUTH (the chips with configuration pages)
  bool tripleDes;            // the Ultralight C's 3DES authentication
};

// The chip of a MIFU_CHIP_* code; an unknown code gives the first Ultralight's 16 pages.
const Type2Chip& type2Chip(uint8_t chip);

// What a page holds, for people.
enum class Type2Role {
  Uid,          // pages 0-1: UID and BCC0
  LockBytes,    // page 2: BCC1, internal byte, static lock bytes
  Otp,          // page 3: one-time programmable (the NDEF capability container)
  User,         // user memory
  DynamicLock,  // dynamic lock bytes
  Config,       // CFG0, CFG1 (AUTH0, ACCESS)
  Password,     // PWD (reads as zeros)
  Pack,         // PACK and RFUI
  Counter,      // Ultralight C 16-bit counter
  Auth,         // Ultralight C AUTH0 or AUTH1
};
Type2Role type2Role(const Type2Chip& chip, unsigned page);
std::string type2RoleName(const Type2Chip& chip, unsigned page);
// Pages whose writes set bits for good or change the tag's protection: lock bytes, OTP,
// configuration, password, key, counter. They are written only after an explicit confirmation.
bool type2Guarded(Type2Role role);
// Pages 0 and 1 (the UID) are never written.
inline bool type2Writable(Type2Role role) {
  return role != Type2Role::Uid;
}

// Whether the lock bits in memory (pages from 0 on, as far as read) make page read-only: the
// static lock bits of page 2 for pages 3-15, the dynamic lock bytes for the pages from 16 on.
// Pages 0-1 are always read-only; lock bits not read count as clear.
bool type2PageLocked(const Type2Chip& chip, std::span<const uint8_t> memory, unsigned page);

// The password or key protection the configuration pages in memory set up: the first protected
// page and whether reads are refused too. Nothing when the pages were not read or protect nothing.
struct Type2Protection {
  unsigned firstPage;
  bool reads;
};
std::optional<Type2Protection> type2Protection(const Type2Chip& chip,
                                               std::span<const uint8_t> memory);

}  // namespace norvex::dump
