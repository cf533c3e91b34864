// SPDX-License-Identifier: MIT
// The exported Mifare Classic access-condition codec (ACL_ functions) over arbitrary trailer bytes
// 6-9, as read from a card, and arbitrary privilege masks.
//
// Input: [trailer bytes 6-9][u32 key A mask][u32 key B mask][u32 block], little-endian.
// Checked: only the caller's 4 bytes are touched; generated conditions parse back to the masks
// they came from and leave the other blocks' conditions and byte 9 alone; refused input (-1)
// changes nothing.

#include <cstring>

#include "norvexapi.h"
#include "support/Fuzz.h"

namespace {

constexpr uint32_t kTrailer = 3;  // blocks 0-2 are data blocks

int32_t Parse(uint32_t block, const uint8_t* acl, uint32_t& keyA, uint32_t& keyB) {
  return block == kTrailer ? ACL_ParseTrailerConditions(acl, &keyA, &keyB)
                           : ACL_ParseDataConditions(block, acl, &keyA, &keyB);
}

int32_t Generate(uint32_t block, uint8_t* acl, uint32_t keyA, uint32_t keyB) {
  return block == kTrailer ? ACL_GenTrailerConditions(acl, keyA, keyB)
                           : ACL_GenDataConditions(block, acl, keyA, keyB);
}

// Generates block's conditions from the masks into a copy of acl and checks the result.
void CheckGenerate(const uint8_t* acl, uint32_t block, uint32_t keyA, uint32_t keyB) {
  const auto copy = ExactBuffer(4);
  std::memcpy(copy.get(), acl, 4);
  if (Generate(block, copy.get(), keyA, keyB) < 0) {
    FUZZ_CHECK(std::memcmp(copy.get(), acl, 4) == 0);
    return;
  }
  uint32_t a = 0, b = 0;
  FUZZ_CHECK(Parse(block, copy.get(), a, b) >= 0 && a == keyA && b == keyB);
  FUZZ_CHECK(copy[3] == acl[3]);
  for (uint32_t other = 0; other <= kTrailer; ++other) {
    if (other != block) FUZZ_CHECK(Parse(other, copy.get(), a, b) == Parse(other, acl, a, b));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const auto acl = ExactBuffer(4);
  for (size_t i = 0; i < 4; ++i) acl[i] = input.Byte();
  const uint32_t keyA = input.Long(), keyB = input.Long(), block = input.Long();

  for (uint32_t b = 0; b <= kTrailer; ++b) {
    uint32_t parsedA = 0, parsedB = 0;
    const int32_t row = Parse(b, acl.get(), parsedA, parsedB);
    FUZZ_CHECK(row >= 0 && row < 8);
    CheckGenerate(acl.get(), b, parsedA, parsedB);
    CheckGenerate(acl.get(), b, keyA, keyB);
  }
  // Unknown blocks and table rows are refused without writing anything.
  uint32_t a = 0xA5, b = 0xA5;
  if (block > 2) FUZZ_CHECK(ACL_ParseDataConditions(block, acl.get(), &a, &b) == -1);
  if (block >= 8) FUZZ_CHECK(ACL_GetValidTrailerPrivs(block, &a, &b) != 0);
  FUZZ_CHECK(a == 0xA5 && b == 0xA5);
  return 0;
}
