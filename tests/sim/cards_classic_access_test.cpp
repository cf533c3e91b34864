// SPDX-License-Identifier: MIT
// Mifare Classic access conditions as the card enforces them: every row of the data block table
// and of the trailer table, the five-block groups of large 4K sectors, and sectors whose access
// bytes are inconsistent.

#include <functional>

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x11, 0x22, 0x33, 0x44};
constexpr unsigned kTrailer = 7;  // sector 1: blocks 4-6 data, 7 trailer
constexpr uint8_t kIncrement = 0xC1, kDecrement = 0xC0, kRestore = 0xC2;

TEST(CardsClassicAccess, AccessBytesEncodeLikeKnownTrailers) {
  // Transport configuration and the directory sector layout.
  EXPECT_EQ(Harness::access({0, 0, 0, 1}), (Bytes{0xFF, 0x07, 0x80, 0x69}));
  EXPECT_EQ(Harness::access({4, 4, 4, 3}), (Bytes{0x78, 0x77, 0x88, 0x69}));
}

// The published tables, row by row (C1 C2 C3): per key, data block rights read, write, increment,
// decrement; trailer rights write key A, read and write access bytes, read and write key B.
struct DataRow {
  uint8_t condition;
  std::array<bool, 4> keyA, keyB;
};
const DataRow kDataRows[] = {
    {0b000, {1, 1, 1, 1}, {1, 1, 1, 1}}, {0b001, {1, 0, 0, 1}, {1, 0, 0, 1}},
    {0b010, {1, 0, 0, 0}, {1, 0, 0, 0}}, {0b011, {0, 0, 0, 0}, {1, 1, 0, 0}},
    {0b100, {1, 0, 0, 0}, {1, 1, 0, 0}}, {0b101, {0, 0, 0, 0}, {1, 0, 0, 0}},
    {0b110, {1, 0, 0, 1}, {1, 1, 1, 1}}, {0b111, {0, 0, 0, 0}, {0, 0, 0, 0}},
};
struct TrailerRow {
  uint8_t condition;
  std::array<bool, 5> keyA, keyB;
};
const TrailerRow kTrailerRows[] = {
    {0b000, {1, 1, 0, 1, 1}, {0, 0, 0, 0, 0}}, {0b001, {1, 1, 1, 1, 1}, {0, 0, 0, 0, 0}},
    {0b010, {0, 1, 0, 1, 0}, {0, 0, 0, 0, 0}}, {0b011, {0, 1, 0, 0, 0}, {1, 1, 1, 0, 1}},
    {0b100, {0, 1, 0, 0, 0}, {1, 1, 0, 0, 1}}, {0b101, {0, 1, 0, 0, 0}, {0, 1, 1, 0, 0}},
    {0b110, {0, 1, 0, 0, 0}, {0, 1, 0, 0, 0}}, {0b111, {0, 1, 0, 0, 0}, {0, 1, 0, 0, 0}},
};

int8_t allowed(bool right) {
  return right ? kOk : kAuthError;
}
const MifareKey& keyValue(uint8_t keyType) {
  return keyType == kKeyA ? kKeyValueA : kKeyValueB;
}

TEST(CardsClassicAccess, DataBlockRowsGiveEachKeyExactlyItsRights) {
  for (const DataRow& row : kDataRows) {
    Harness h;
    h.place("classic1k:uid=11223344");
    // Block 5 (group 1) follows the row; trailer condition 011 keeps key B secret.
    h.setTrailer(kUid, kTrailer, kKeyValueA, Harness::access({0, row.condition, 0, 3}), kKeyValueB);
    h.setBlock(kUid, 5, valueBlock(100, 5));
    for (uint8_t keyType : {kKeyA, kKeyB}) {
      SCOPED_TRACE(testing::Message() << "row " << int(row.condition) << ", key " << int(keyType));
      const auto [read, write, increment, decrement] = keyType == kKeyA ? row.keyA : row.keyB;
      auto as = [&](const std::function<Reply()>& operation) {
        EXPECT_EQ(h.selectAndAuth(kUid, keyType, keyValue(keyType), 4).status, kOk);
        return operation().status;
      };
      EXPECT_EQ(as([&] { return h.read(5); }), allowed(read));
      EXPECT_EQ(as([&] { return h.value(kIncrement, 5, 1, 5); }), allowed(increment));
      EXPECT_EQ(as([&] { return h.value(kDecrement, 5, 1, 5); }), allowed(decrement));
      EXPECT_EQ(as([&] { return h.value(kRestore, 5, 0, 5); }), allowed(decrement));
      EXPECT_EQ(h.block(kUid, 5), valueBlock(100 + increment - decrement, 5));

      const Bytes data(16, keyType);
      EXPECT_EQ(as([&] { return h.write(5, data); }), allowed(write));
      EXPECT_EQ(h.block(kUid, 5) == data, write);
      h.setBlock(kUid, 5, valueBlock(100, 5));
      EXPECT_EQ(as([&] { return h.write(6, data); }), kOk) << "other groups keep condition 000";
    }
  }
}

TEST(CardsClassicAccess, TrailerRowsMaskSecretsAndWritesTakeOnlyPermittedParts) {
  for (const TrailerRow& row : kTrailerRows) {
    Harness h;
    h.place("classic1k:uid=11223344");
    const Bytes access = Harness::access({0, 0, 0, row.condition});
    const Bytes original = cat({bytes(kKeyValueA), access, bytes(kKeyValueB)});
    for (uint8_t keyType : {kKeyA, kKeyB}) {
      SCOPED_TRACE(testing::Message() << "row " << int(row.condition) << ", key " << int(keyType));
      const auto [writeKeyA, readAccess, writeAccess, readKeyB, writeKeyB] =
          keyType == kKeyA ? row.keyA : row.keyB;
      h.setBlock(kUid, kTrailer, original);
      ASSERT_EQ(h.selectAndAuth(kUid, keyType, keyValue(keyType), kTrailer).status, kOk);
      const Reply read = h.read(kTrailer);
      if (keyType == kKeyB && row.keyA[3]) {
        // Readable key B is data: authenticating with it succeeds, every access is refused.
        EXPECT_EQ(read.status, kAuthError);
        continue;
      }
      ASSERT_EQ(read.status, kOk);
      EXPECT_EQ(read.data, cat({Bytes(6, 0), readAccess ? access : Bytes(4, 0),
                                readKeyB ? bytes(kKeyValueB) : Bytes(6, 0)}))
          << "key A never readable";

      Bytes newAccess = access;
      newAccess[3] = 0x42;  // same conditions, new general-purpose byte
      const MifareKey newA{1, 1, 1, 1, 1, 1}, newB{2, 2, 2, 2, 2, 2};
      ASSERT_EQ(h.selectAndAuth(kUid, keyType, keyValue(keyType), kTrailer).status, kOk);
      EXPECT_EQ(h.write(kTrailer, cat({bytes(newA), newAccess, bytes(newB)})).status,
                allowed(writeKeyA || writeAccess || writeKeyB));
      EXPECT_EQ(h.block(kUid, kTrailer),
                cat({bytes(writeKeyA ? newA : kKeyValueA), writeAccess ? newAccess : access,
                     bytes(writeKeyB ? newB : kKeyValueB)}));
    }
  }
}

TEST(CardsClassicAccess, LargeSectorGroupsCoverFiveBlocks) {
  Harness h;
  const Bytes uid{0x41, 0x42, 0x43, 0x44};
  h.place("classic4k:uid=41424344");
  // Sector 32: group 0 free, group 1 read-only, group 2 no access; key B secret.
  h.setTrailer(uid, 143, kKeyValueA, Harness::access({0b000, 0b010, 0b111, 0b011}), kKeyValueB);
  for (uint8_t block = 128; block < 143; ++block) {
    ASSERT_EQ(h.selectAndAuth(uid, kKeyA, kKeyValueA, 128).status, kOk);
    EXPECT_EQ(h.read(block).status, block <= 137 ? kOk : kAuthError) << int(block);
    ASSERT_EQ(h.selectAndAuth(uid, kKeyB, kKeyValueB, 128).status, kOk);
    EXPECT_EQ(h.write(block, Bytes(16, 0x77)).status, block <= 132 ? kOk : kAuthError)
        << int(block);
  }
}

TEST(CardsClassicAccess, InconsistentAccessBytesBlockTheSector) {
  Harness h;
  h.place("classic1k:uid=11223344");
  Bytes broken = Harness::access({0, 0, 0, 1});
  broken[2] ^= 0x01;  // C2 of block 0 without its inverted copy
  h.setTrailer(kUid, kTrailer, kFactoryKey, broken, kFactoryKey);
  const std::function<Reply()> operations[] = {
      [&] { return h.read(5); },
      [&] { return h.read(kTrailer); },
      [&] { return h.write(6, Bytes(16, 0x5A)); },
      [&] { return h.value(kDecrement, 4, 1, 4); },
      [&] {
        return h.write(kTrailer,
                       cat({bytes(kFactoryKey), {0xFF, 0x07, 0x80, 0x69}, bytes(kFactoryKey)}));
      },
  };
  for (const auto& operation : operations) {
    ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk)
        << "the keys still authenticate";
    EXPECT_EQ(operation().status, kAuthError);
  }
  EXPECT_EQ(h.block(kUid, 6), Bytes(16, 0));
  EXPECT_EQ(h.block(kUid, kTrailer), cat({bytes(kFactoryKey), broken, bytes(kFactoryKey)}));
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 8).status, kOk);
  EXPECT_EQ(h.read(8).status, kOk) << "other sectors are not affected";
}

}  // namespace
}  // namespace norvexsim::test
