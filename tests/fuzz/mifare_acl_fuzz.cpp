// The Mifare Classic access-condition codec (MifACL and the exported ACL_ functions) over arbitrary
// access records, as read from a card's sector trailer, and arbitrary privilege pairs.
//
// Input: [trailer bytes 6-9][u32 block][u32 key A mask][u32 key B mask] (little-endian; missing
// bytes read as zero).
//
// Checked: parsing reads exactly the block's true bits C1 C2 C3 (byte 7 bit 4+b, byte 8 bit b,
// byte 8 bit 4+b) and returns the masks of that table row; a generated record encodes the first
// matching row in those bits with their inverted copies, changing no other bit; parse and generate
// round-trip; refused input (-1) leaves outputs and records alone; the exported functions agree
// with the class.

#include <cstdint>
#include <cstring>

#include "mifare/MifACL.h"
#include "norvexapi.h"
#include "support/Check.h"
#include "support/ExactBuffer.h"
#include "support/FuzzInput.h"

namespace {

// Trailer bytes 6, 7, 8, 9, in the form the codec takes them.
struct Record {
  MIF_ACL_BYTES bytes;
  bool operator==(const Record&) const = default;
};
constexpr uint32_t kTrailer = 3;
constexpr uint32_t kUntouched = 0xA5A5A5A5;

bool BitAt(const Record& acl, int byte, int bit) {
  return ((acl.bytes[byte] >> bit) & 1) != 0;
}

// The condition index C1*4 + C2*2 + C3 of block b (3 = the trailer), from the true bits.
int32_t IndexOf(const Record& acl, uint32_t b) {
  const int bi = static_cast<int>(b);
  return (BitAt(acl, 1, 4 + bi) << 2) | (BitAt(acl, 2, bi) << 1) | BitAt(acl, 2, 4 + bi);
}

bool InvertedCopiesMatch(const Record& acl, uint32_t b) {
  const int bi = static_cast<int>(b);
  return BitAt(acl, 0, bi) != BitAt(acl, 1, 4 + bi) && BitAt(acl, 0, 4 + bi) != BitAt(acl, 2, bi) &&
         BitAt(acl, 1, bi) != BitAt(acl, 2, 4 + bi);
}

// The bits that belong to block b, true and inverted; byte 9 belongs to no block.
Record BlockMask(uint32_t b) {
  const auto pair = static_cast<uint8_t>((1u << b) | (1u << (4 + b)));
  return {{pair, pair, pair, 0}};
}

bool SameOutside(const Record& before, const Record& after, uint32_t b) {
  const Record mask = BlockMask(b);
  for (size_t i = 0; i < sizeof before.bytes; ++i) {
    if ((before.bytes[i] & ~mask.bytes[i]) != (after.bytes[i] & ~mask.bytes[i])) return false;
  }
  return true;
}

// First table row with exactly these masks, or -1, found through the public row lookup.
int32_t FirstRow(const MifACL& codec, bool trailer, uint32_t keyA, uint32_t keyB) {
  for (uint32_t row = 0; row < 8; ++row) {
    uint32_t a = 0, b = 0;
    FUZZ_CHECK((trailer ? codec.GetValidTrailerPrivs(row, a, b)
                        : codec.GetValidDataSecPrivs(row, a, b)) == 0);
    if (a == keyA && b == keyB) return static_cast<int32_t>(row);
  }
  return -1;
}

void CheckParse(const MifACL& codec, const Record& acl, uint32_t b) {
  const bool trailer = b == kTrailer;
  uint32_t keyA = kUntouched, keyB = kUntouched;
  const int32_t index = trailer ? codec.ParseTrailerConditions(acl.bytes, keyA, keyB)
                                : codec.ParseDataConditions(b, acl.bytes, keyA, keyB);
  FUZZ_CHECK(index == IndexOf(acl, b));
  uint32_t rowA = 0, rowB = 0;
  if (trailer) {
    codec.GetValidTrailerPrivs(static_cast<uint32_t>(index), rowA, rowB);
  } else {
    codec.GetValidDataSecPrivs(static_cast<uint32_t>(index), rowA, rowB);
  }
  FUZZ_CHECK(keyA == rowA && keyB == rowB);

  // The exported function reads the caller's 4 bytes and nothing more.
  ExactBuffer bytes(4);
  std::memcpy(bytes.data(), acl.bytes, sizeof acl.bytes);
  uint32_t flatA = kUntouched, flatB = kUntouched;
  const int32_t flat = trailer ? ACL_ParseTrailerConditions(bytes.data(), &flatA, &flatB)
                               : ACL_ParseDataConditions(b, bytes.data(), &flatA, &flatB);
  FUZZ_CHECK(flat == index && flatA == keyA && flatB == keyB);
}

// Generates block b of a copy of acl from the pair and checks the record against the first row.
void CheckGenerate(const MifACL& codec, const Record& acl, uint32_t b, uint32_t keyA,
                   uint32_t keyB) {
  const bool trailer = b == kTrailer;
  Record generated = acl;
  const int32_t index = trailer ? codec.GenTrailerConditons(generated.bytes, keyA, keyB)
                                : codec.GenDataConditons(b, generated.bytes, keyA, keyB);
  const int32_t row = FirstRow(codec, trailer, keyA, keyB);
  FUZZ_CHECK(index == row);
  if (index == -1) {
    FUZZ_CHECK(generated == acl);
  } else {
    FUZZ_CHECK(IndexOf(generated, b) == index && InvertedCopiesMatch(generated, b));
    FUZZ_CHECK(SameOutside(acl, generated, b));
    uint32_t parsedA = 0, parsedB = 0;
    if (trailer) {
      codec.ParseTrailerConditions(generated.bytes, parsedA, parsedB);
    } else {
      codec.ParseDataConditions(b, generated.bytes, parsedA, parsedB);
    }
    FUZZ_CHECK(parsedA == keyA && parsedB == keyB);
  }

  ExactBuffer bytes(4);
  std::memcpy(bytes.data(), acl.bytes, sizeof acl.bytes);
  const int32_t flat = trailer ? ACL_GenTrailerConditions(bytes.data(), keyA, keyB)
                               : ACL_GenDataConditions(b, bytes.data(), keyA, keyB);
  FUZZ_CHECK(flat == index &&
             std::memcmp(bytes.data(), generated.bytes, sizeof generated.bytes) == 0);
}

// The all-blocks form: rows 0-6 go into blocks 0, 1 and 2; row 7 stops after block 0.
void CheckGenerateAll(const MifACL& codec, const Record& acl, uint32_t keyA, uint32_t keyB) {
  Record generated = acl;
  const int32_t result = codec.GenDataConditons(generated.bytes, keyA, keyB);
  const int32_t row = FirstRow(codec, false, keyA, keyB);
  if (row == -1) {
    FUZZ_CHECK(result == -1 && generated == acl);
    return;
  }
  FUZZ_CHECK(result == (row == 7 ? -1 : 0));
  FUZZ_CHECK(IndexOf(generated, 0) == row && InvertedCopiesMatch(generated, 0));
  for (uint32_t b = 1; b < 3; ++b) {
    if (row == 7) {
      FUZZ_CHECK(IndexOf(generated, b) == IndexOf(acl, b));
    } else {
      FUZZ_CHECK(IndexOf(generated, b) == row && InvertedCopiesMatch(generated, b));
    }
  }
  FUZZ_CHECK(generated.bytes[3] == acl.bytes[3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  Record acl{};
  for (auto& byte : acl.bytes) byte = input.Byte();
  const uint32_t block = input.Long();
  const uint32_t keyA = input.Long();
  const uint32_t keyB = input.Long();

  const MifACL codec;
  for (uint32_t b = 0; b <= kTrailer; ++b) {
    CheckParse(codec, acl, b);
    // The masks read from the card generate the same row again.
    uint32_t parsedA = 0, parsedB = 0;
    if (b == kTrailer) {
      codec.ParseTrailerConditions(acl.bytes, parsedA, parsedB);
    } else {
      codec.ParseDataConditions(b, acl.bytes, parsedA, parsedB);
    }
    CheckGenerate(codec, acl, b, parsedA, parsedB);
    CheckGenerate(codec, acl, b, keyA, keyB);
  }
  CheckGenerateAll(codec, acl, keyA, keyB);

  // Blocks the data-block forms do not know are refused without touching anything.
  if (block > 2) {
    uint32_t a = kUntouched, b = kUntouched;
    FUZZ_CHECK(codec.ParseDataConditions(block, acl.bytes, a, b) == -1 && a == kUntouched &&
               b == kUntouched);
    Record generated = acl;
    FUZZ_CHECK(codec.GenDataConditons(block, generated.bytes, keyA, keyB) == -1 &&
               generated == acl);
  }
  // Row lookups beyond the table are refused.
  uint32_t a = kUntouched, b = kUntouched;
  const bool known = block < 8;
  FUZZ_CHECK((codec.GetValidDataSecPrivs(block, a, b) == 0) == known);
  FUZZ_CHECK((ACL_GetValidTrailerPrivs(block, &a, &b) == 0) == known);
  if (!known) FUZZ_CHECK(a == kUntouched && b == kUntouched);
  return 0;
}
