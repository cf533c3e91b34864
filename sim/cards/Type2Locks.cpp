// SPDX-License-Identifier: MIT
#include "sim/cards/Type2Locks.h"

namespace norvexsim::type2 {

namespace {

constexpr unsigned kPageSize = 4;
constexpr unsigned kLastStaticPage = 15;

uint8_t byteAt(std::span<const uint8_t> memory, unsigned page, unsigned offset) {
  return memory[page * kPageSize + offset];
}

bool bitSet(uint32_t word, unsigned bit) {
  return (word >> bit) & 1u;
}

}  // namespace

bool pageLocked(std::span<const uint8_t> memory, unsigned page, const DynamicLocks& dynamic) {
  if (page < kOtpPage) return false;
  if (page <= kLastStaticPage) {
    const uint32_t locks = byteAt(memory, kLockPage, 2) | byteAt(memory, kLockPage, 3) << 8;
    return bitSet(locks, page);
  }
  if (dynamic.pagesPerBit == 0 || page >= dynamic.page) return false;
  const uint32_t locks = byteAt(memory, dynamic.page, 0) | byteAt(memory, dynamic.page, 1) << 8;
  return bitSet(locks, (page - kFirstDynamicPage) / dynamic.pagesPerBit);
}

void mergeStaticLocks(std::span<uint8_t, 2> locks, uint8_t byte2, uint8_t byte3) {
  const uint32_t old = locks[0] | locks[1] << 8;
  uint32_t frozen = 0;
  if (bitSet(old, 0)) frozen |= 1u << kOtpPage;
  if (bitSet(old, 1)) frozen |= 0x03F0u;  // pages 4-9
  if (bitSet(old, 2)) frozen |= 0xFC00u;  // pages 10-15
  const uint32_t merged = old | ((byte2 | byte3 << 8) & ~frozen);
  locks[0] = static_cast<uint8_t>(merged);
  locks[1] = static_cast<uint8_t>(merged >> 8);
}

void mergeDynamicLocks(std::span<uint8_t, 3> locks, std::span<const uint8_t, 3> written) {
  const uint32_t old = locks[0] | locks[1] << 8;
  uint32_t frozen = 0;
  for (unsigned bit = 0; bit < 8; ++bit) {
    if (bitSet(locks[2], bit)) frozen |= 3u << (2 * bit);
  }
  const uint32_t merged = old | ((written[0] | written[1] << 8) & ~frozen);
  locks[0] = static_cast<uint8_t>(merged);
  locks[1] = static_cast<uint8_t>(merged >> 8);
  locks[2] = static_cast<uint8_t>(locks[2] | written[2]);
}

}  // namespace norvexsim::type2
