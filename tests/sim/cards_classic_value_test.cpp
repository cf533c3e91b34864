// Mifare Classic value blocks in the simulated field: increment, decrement, restore and
// transfer through the reader's value instructions, and the card's format checks.

#include <functional>

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x11, 0x22, 0x33, 0x44};
constexpr uint8_t kIncrement = 0xC1, kDecrement = 0xC0, kRestore = 0xC2;

class ClassicValue : public ::testing::Test {
 protected:
  void SetUp() override {
    h.place("classic1k:uid=11223344");
    h.setBlock(kUid, 5, valueBlock(100, 5));
  }
  Reply onSector1(const std::function<Reply()>& operation) {
    EXPECT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
    return operation();
  }
  Harness h;
};

TEST_F(ClassicValue, OperationsTransferTheirResult) {
  EXPECT_EQ(onSector1([&] { return h.value(kIncrement, 5, 25, 5); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(125, 5));
  EXPECT_EQ(onSector1([&] { return h.value(kDecrement, 5, 30, 5); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(95, 5));
  // Restore plus transfer copies a value block; the address bytes travel with it.
  EXPECT_EQ(onSector1([&] { return h.value(kRestore, 5, 0, 6); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 6), valueBlock(95, 5));
  // The debit form transfers back into the block itself.
  EXPECT_EQ(onSector1([&] { return h.run(0x1C, {kDecrement, 5, 5, 0, 0, 0}); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(90, 5));
  EXPECT_EQ(onSector1([&] { return h.read(5); }).data, valueBlock(90, 5));
}

TEST_F(ClassicValue, ArithmeticIsModulo2To32) {
  h.setBlock(kUid, 5, valueBlock(0, 5));
  EXPECT_EQ(onSector1([&] { return h.value(kDecrement, 5, 1, 5); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(0xFFFFFFFF, 5));
  EXPECT_EQ(onSector1([&] { return h.value(kIncrement, 5, 2, 5); }).status, kOk);
  EXPECT_EQ(h.block(kUid, 5), valueBlock(1, 5));
}

TEST_F(ClassicValue, MalformedValueBlocksAreRefused) {
  struct Damage {
    const char* name;
    size_t byte;
  };
  const Damage damages[] = {
      {"first value", 0},
      {"inverted value", 5},
      {"second value", 11},
      {"address", 12},
      {"inverted address", 13},
      {"address copy", 14},
      {"last inverted address", 15},
  };
  for (const auto& damage : damages) {
    Bytes block = valueBlock(100, 5);
    block[damage.byte] ^= 0x01;
    h.setBlock(kUid, 5, block);
    for (uint8_t op : {kIncrement, kDecrement, kRestore}) {
      EXPECT_EQ(onSector1([&] { return h.value(op, 5, 1, 5); }).status, kCardByte)
          << damage.name << ", op " << int(op);
      EXPECT_EQ(h.block(kUid, 5), block) << damage.name;
    }
  }
  h.setBlock(kUid, 5, Bytes(16, 0));
  EXPECT_EQ(onSector1([&] { return h.value(kIncrement, 5, 1, 5); }).status, kCardByte)
      << "an all-zero block is no value block";
}

TEST_F(ClassicValue, TransferTargetsAreChecked) {
  struct Case {
    const char* name;
    uint8_t operation, block, transfer;
    int8_t expected;
  };
  const Case cases[] = {
      {"target in another sector", kIncrement, 5, 8, kNotAuthenticated},
      {"target is the trailer", kIncrement, 5, 7, kAuthError},
      {"source is the trailer", kRestore, 7, 5, kAuthError},
      {"source in another sector", kDecrement, 9, 5, kNotAuthenticated},
      {"not a value command", 0xB0, 5, 5, kCardByte},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(onSector1([&] { return h.value(c.operation, c.block, 1, c.transfer); }).status,
              c.expected)
        << c.name;
    EXPECT_EQ(h.block(kUid, 5), valueBlock(100, 5)) << c.name << ": nothing transferred";
  }
  h.setBlock(kUid, 1, valueBlock(7, 1));
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 0).status, kOk);
  EXPECT_EQ(h.value(kRestore, 1, 0, 0).status, kAuthError) << "block 0 is read-only";
}

TEST_F(ClassicValue, ValueInstructionsCheckTheirParameters) {
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  EXPECT_EQ(h.run(0x1B, {kIncrement, 5, 1, 0, 0, 0}).status, kBadFrame) << "transfer missing";
  EXPECT_EQ(h.run(0x1C, {kIncrement, 5, 1, 0, 0, 0, 5}).status, kBadFrame) << "extra byte";
  EXPECT_EQ(h.field.state(kUid), CardState::Active) << "malformed instructions stay in the reader";
}

}  // namespace
}  // namespace norvexsim::test
