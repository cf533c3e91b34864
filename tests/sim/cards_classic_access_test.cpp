// Mifare Classic access conditions as the card enforces them: every row of the data block table
// and of the trailer table, key B readability, and sectors whose access bytes are inconsistent.

#include <functional>

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x11, 0x22, 0x33, 0x44};
constexpr unsigned kTrailer = 7;  // sector 1: blocks 4-6 data, 7 trailer
constexpr uint8_t kIncrement = 0xC1, kDecrement = 0xC0, kRestore = 0xC2;

TEST(CardsClassicAccess, AccessBytesEncodeLikeKnownTrailers) {
  // Transport configuration, the directory sector layout and the value sector layout.
  EXPECT_EQ(Harness::access({0, 0, 0, 1}), (Bytes{0xFF, 0x07, 0x80, 0x69}));
  EXPECT_EQ(Harness::access({4, 4, 4, 3}), (Bytes{0x78, 0x77, 0x88, 0x69}));
  EXPECT_EQ(Harness::access({6, 6, 6, 3}), (Bytes{0x08, 0x77, 0x8F, 0x69}));
  EXPECT_EQ(Harness::access({0, 0, 0, 3}), (Bytes{0x7F, 0x07, 0x88, 0x69}));
}

struct Rights {
  bool read, write, increment, decrement;
};
struct DataRow {
  uint8_t condition;
  Rights keyA, keyB;
};

// The published data block table, row by row (C1 C2 C3).
const DataRow kDataRows[] = {
    {0b000, {1, 1, 1, 1}, {1, 1, 1, 1}}, {0b001, {1, 0, 0, 1}, {1, 0, 0, 1}},
    {0b010, {1, 0, 0, 0}, {1, 0, 0, 0}}, {0b011, {0, 0, 0, 0}, {1, 1, 0, 0}},
    {0b100, {1, 0, 0, 0}, {1, 1, 0, 0}}, {0b101, {0, 0, 0, 0}, {1, 0, 0, 0}},
    {0b110, {1, 0, 0, 1}, {1, 1, 1, 1}}, {0b111, {0, 0, 0, 0}, {0, 0, 0, 0}},
};

class DataBlockAccess : public ::testing::TestWithParam<DataRow> {
 protected:
  void SetUp() override {
    h.place("classic1k:uid=11223344");
    // Block 5 (group 1) follows the row; trailer condition 011 keeps key B secret.
    h.setTrailer(kUid, kTrailer, kKeyValueA, Harness::access({0, GetParam().condition, 0, 3}),
                 kKeyValueB);
    h.setBlock(kUid, 5, valueBlock(100, 5));
  }
  int8_t as(uint8_t keyType, const std::function<Reply()>& operation) {
    Reply auth = h.selectAndAuth(kUid, keyType, keyType == kKeyA ? kKeyValueA : kKeyValueB, 4);
    EXPECT_EQ(auth.status, kOk);
    return operation().status;
  }
  Harness h;
};

TEST_P(DataBlockAccess, EachKeyGetsExactlyItsRights) {
  const DataRow& row = GetParam();
  for (uint8_t keyType : {kKeyA, kKeyB}) {
    const Rights& rights = keyType == kKeyA ? row.keyA : row.keyB;
    auto expect = [](bool allowed) { return allowed ? kOk : kAuthError; };
    SCOPED_TRACE(keyType == kKeyA ? "key A" : "key B");

    EXPECT_EQ(as(keyType, [&] { return h.read(5); }), expect(rights.read));
    EXPECT_EQ(as(keyType, [&] { return h.value(kIncrement, 5, 1, 5); }), expect(rights.increment));
    EXPECT_EQ(as(keyType, [&] { return h.value(kDecrement, 5, 1, 5); }), expect(rights.decrement));
    EXPECT_EQ(as(keyType, [&] { return h.value(kRestore, 5, 0, 5); }), expect(rights.decrement));
    uint32_t expectedValue = 100 + rights.increment - rights.decrement;
    EXPECT_EQ(h.block(kUid, 5), valueBlock(expectedValue, 5));

    Bytes data(16, keyType);
    EXPECT_EQ(as(keyType, [&] { return h.write(5, data); }), expect(rights.write));
    EXPECT_EQ(h.block(kUid, 5) == data, rights.write);
    h.setBlock(kUid, 5, valueBlock(100, 5));
    // Other groups of the sector keep condition 000.
    EXPECT_EQ(as(keyType, [&] { return h.write(6, data); }), kOk);
  }
}

INSTANTIATE_TEST_SUITE_P(AllRows, DataBlockAccess, ::testing::ValuesIn(kDataRows));

struct TrailerRights {
  bool writeKeyA, readAccess, writeAccess, readKeyB, writeKeyB;
};
struct TrailerRow {
  uint8_t condition;
  TrailerRights keyA, keyB;
};

// The published trailer table, row by row (C1 C2 C3).
const TrailerRow kTrailerRows[] = {
    {0b000, {1, 1, 0, 1, 1}, {0, 0, 0, 0, 0}}, {0b001, {1, 1, 1, 1, 1}, {0, 0, 0, 0, 0}},
    {0b010, {0, 1, 0, 1, 0}, {0, 0, 0, 0, 0}}, {0b011, {0, 1, 0, 0, 0}, {1, 1, 1, 0, 1}},
    {0b100, {0, 1, 0, 0, 0}, {1, 1, 0, 0, 1}}, {0b101, {0, 1, 0, 0, 0}, {0, 1, 1, 0, 0}},
    {0b110, {0, 1, 0, 0, 0}, {0, 1, 0, 0, 0}}, {0b111, {0, 1, 0, 0, 0}, {0, 1, 0, 0, 0}},
};

class TrailerAccess : public ::testing::TestWithParam<TrailerRow> {
 protected:
  void SetUp() override {
    h.place("classic1k:uid=11223344");
    access = Harness::access({0, 0, 0, GetParam().condition});
    original = cat({bytes(kKeyValueA), access, bytes(kKeyValueB)});
    h.setBlock(kUid, kTrailer, original);
  }
  Harness h;
  Bytes access, original;
};

TEST_P(TrailerAccess, ReadsMaskSecretsAndWritesTakeOnlyPermittedParts) {
  const TrailerRow& row = GetParam();
  bool keyBReadable = row.keyA.readKeyB;
  for (uint8_t keyType : {kKeyA, kKeyB}) {
    SCOPED_TRACE(keyType == kKeyA ? "key A" : "key B");
    const TrailerRights& rights = keyType == kKeyA ? row.keyA : row.keyB;
    const MifareKey& key = keyType == kKeyA ? kKeyValueA : kKeyValueB;
    h.setBlock(kUid, kTrailer, original);

    ASSERT_EQ(h.selectAndAuth(kUid, keyType, key, kTrailer).status, kOk);
    Reply read = h.read(kTrailer);
    if (keyType == kKeyB && keyBReadable) {
      // Readable key B is data: authenticating with it succeeds, every access is refused.
      EXPECT_EQ(read.status, kAuthError);
      continue;
    }
    ASSERT_EQ(read.status, kOk);
    Bytes expected = cat({Bytes(6, 0), rights.readAccess ? access : Bytes(4, 0),
                          rights.readKeyB ? bytes(kKeyValueB) : Bytes(6, 0)});
    EXPECT_EQ(read.data, expected) << "key A never readable";

    Bytes newAccess = access;
    newAccess[3] = 0x42;  // same conditions, new general-purpose byte
    const MifareKey newA{1, 1, 1, 1, 1, 1}, newB{2, 2, 2, 2, 2, 2};
    bool anyRight = rights.writeKeyA || rights.writeAccess || rights.writeKeyB;
    ASSERT_EQ(h.selectAndAuth(kUid, keyType, key, kTrailer).status, kOk);
    EXPECT_EQ(h.write(kTrailer, cat({bytes(newA), newAccess, bytes(newB)})).status,
              anyRight ? kOk : kAuthError);
    EXPECT_EQ(h.block(kUid, kTrailer), cat({bytes(rights.writeKeyA ? newA : kKeyValueA),
                                            rights.writeAccess ? newAccess : access,
                                            bytes(rights.writeKeyB ? newB : kKeyValueB)}));
  }
}

INSTANTIATE_TEST_SUITE_P(AllRows, TrailerAccess, ::testing::ValuesIn(kTrailerRows));

TEST(CardsClassicAccess, FactoryTrailerShowsKeyBToKeyAAndRefusesKeyB) {
  Harness h;
  h.place("classic1k:uid=11223344");
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 3).status, kOk);
  EXPECT_EQ(h.read(3).data, cat({Bytes(6, 0), {0xFF, 0x07, 0x80, 0x69}, Bytes(6, 0xFF)}));
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyB, kFactoryKey, 1).status, kOk);
  EXPECT_EQ(h.read(1).status, kAuthError);
  EXPECT_EQ(h.field.state(kUid), CardState::Idle) << "the refusal ends the selection";
}

TEST(CardsClassicAccess, InconsistentAccessBytesBlockTheSector) {
  Harness h;
  h.place("classic1k:uid=11223344");
  Bytes broken = Harness::access({0, 0, 0, 1});
  broken[2] ^= 0x01;  // C2 of block 0 without its inverted copy
  h.setTrailer(kUid, kTrailer, kFactoryKey, broken, kFactoryKey);
  const Bytes data(16, 0x5A);
  const std::function<Reply()> operations[] = {
      [&] { return h.read(4); },
      [&] { return h.read(5); },
      [&] { return h.read(kTrailer); },
      [&] { return h.write(6, data); },
      [&] { return h.value(0xC0, 4, 1, 4); },
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
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 8).status, kOk);
  EXPECT_EQ(h.read(8).status, kOk) << "other sectors are not affected";
}

TEST(CardsClassicAccess, ManufacturerBlockIsReadOnly) {
  Harness h;
  h.place("classic1k:uid=11223344");
  Bytes block0 = h.block(kUid, 0);
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 0).status, kOk);
  EXPECT_EQ(h.read(0).data, block0);
  EXPECT_EQ(h.write(0, Bytes(16, 0)).status, kAuthError);
  EXPECT_EQ(h.block(kUid, 0), block0);
}

}  // namespace
}  // namespace norvexsim::test
