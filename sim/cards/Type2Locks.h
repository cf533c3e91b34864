// SPDX-License-Identifier: MIT
#pragma once
// The lock bits of NFC Forum type 2 tags (Mifare Ultralight, NTAG21x). Lock bits and block-lock
// bits can only be set, never cleared: a page whose lock bit is set is read-only for good, and
// a block-lock bit freezes the lock bits it covers in their present state.
//
// Static lock bytes, page 2 bytes 2 and 3, read as a 16-bit word (byte 2 low): bit 0 block-locks
// the OTP lock bit, bit 1 the lock bits of pages 4-9, bit 2 those of pages 10-15; bits 3 to 15
// lock pages 3 to 15 (bit n locks page n).
//
// Dynamic lock bytes (NTAG21x), bytes 0-2 of the page after the user memory: bit i of bytes 0-1
// locks the pages 16 + i·g to 16 + (i+1)·g - 1 of the user memory (g pages per bit: 2 on the
// NTAG213, 16 on the NTAG215/216); bit j of byte 2 block-locks lock bits 2j and 2j+1.

#include <cstdint>
#include <span>

namespace norvexsim::type2 {

constexpr unsigned kLockPage = 2;
constexpr unsigned kOtpPage = 3;
constexpr unsigned kFirstDynamicPage = 16;  // first page under the dynamic lock bits

// Where a tag's dynamic lock bytes are; pagesPerBit 0 for a tag without them.
struct DynamicLocks {
  unsigned page = 0;
  unsigned pagesPerBit = 0;
};

// Whether a user page (3 up to the last user page) is locked in this memory image.
bool pageLocked(std::span<const uint8_t> memory, unsigned page, const DynamicLocks& dynamic);

// The static lock bytes after a write of (byte2, byte3): the old bits stay set, and bits frozen
// by a block-lock bit keep their value.
void mergeStaticLocks(std::span<uint8_t, 2> locks, uint8_t byte2, uint8_t byte3);

// The dynamic lock bytes 0-2 after a write of the same bytes, under the same rules.
void mergeDynamicLocks(std::span<uint8_t, 3> locks, std::span<const uint8_t, 3> written);

}  // namespace norvexsim::type2
